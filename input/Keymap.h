// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace quillmote::input {

// The key that types a character in a layout, and the level's modifiers (Shift, AltGr); or, for a
// character the layout lacks and the sink can type anyway, that character with no key.
struct KeyStroke
{
    std::uint16_t key = 0;
    ModifierSet modifiers = 0;
    char32_t character = 0;
    bool operator==(const KeyStroke&) const = default;
};
using CharacterKeys = std::unordered_map<char32_t, KeyStroke>;

// The keyboard layout the desktop uses now, as the injecting backend knows it: text whose
// characters it has is typed key by key, the rest is pasted.
class Keymap
{
public:
    virtual ~Keymap() = default;
    // Looked up once per typed text, so that a layout switched meanwhile is followed.
    virtual CharacterKeys characterKeys() = 0;
    // False while the layout is not known yet (one the desktop sends once connected).
    virtual bool knowsLayout() { return true; }
    // Whether the sink types the characters the layout lacks too, as of the last characterKeys()
    // (X11 lends them spare keys for a moment); where it does not, they are pasted.
    virtual bool typesAnyCharacter() { return false; }
};

// The US layout's printable ASCII characters: for where the user's layout cannot be read.
CharacterKeys usCharacterKeys();

class UsKeymap : public Keymap
{
public:
    CharacterKeys characterKeys() override { return usCharacterKeys(); }
};

// The first keymap once it knows its layout, the other one until then.
class KeymapChain : public Keymap
{
public:
    KeymapChain(std::unique_ptr<Keymap> first, std::unique_ptr<Keymap> until)
        : m_first(std::move(first)), m_until(std::move(until))
    {
    }
    CharacterKeys characterKeys() override { return active().characterKeys(); }
    bool typesAnyCharacter() override { return active().typesAnyCharacter(); }

private:
    Keymap& active() const { return m_first->knowsLayout() || !m_until ? *m_first : *m_until; }

    std::unique_ptr<Keymap> m_first;
    std::unique_ptr<Keymap> m_until;
};

} // namespace quillmote::input
