// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Keymap.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

struct xkb_keymap;

namespace quillmote::wayland {

// A keymap the compositor sent as XKB text (libei's keyboard): which key and level type each
// character, and which key gives a keysym, in one group of it.
class XkbLayout
{
public:
    // Empty when the text does not compile.
    static std::optional<XkbLayout> fromText(const char* text, std::size_t size);
    // The keymap in the descriptor, read through a private mapping.
    static std::optional<XkbLayout> fromFd(int fd, std::size_t size);

    // The group the compositor reports active; out-of-range groups read as the first.
    void setGroup(std::uint32_t group) { m_group = group; }
    input::CharacterKeys characterKeys() const;
    // The evdev key that gives the keysym with the fewest modifiers; empty when no key does.
    std::optional<std::uint16_t> keyFor(std::uint32_t keysym) const;

private:
    struct KeymapDeleter
    {
        void operator()(xkb_keymap* keymap) const;
    };
    explicit XkbLayout(std::shared_ptr<xkb_keymap> keymap) : m_keymap(std::move(keymap)) {}
    template <typename Visit> void forEachLevel(Visit&& visit) const;

    std::shared_ptr<xkb_keymap> m_keymap;
    std::uint32_t m_group = 0;
};

// The layout a connection learns later, shared with the keymap that reads it.
struct LearnedLayout
{
    std::optional<XkbLayout> layout;
};

class LearnedKeymap : public input::Keymap
{
public:
    explicit LearnedKeymap(std::shared_ptr<const LearnedLayout> learned) : m_learned(std::move(learned)) {}
    bool knowsLayout() override { return m_learned->layout.has_value(); }
    input::CharacterKeys characterKeys() override;

private:
    std::shared_ptr<const LearnedLayout> m_learned;
};

} // namespace quillmote::wayland
