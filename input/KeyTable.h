// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"

#include <QStringView>

#include <cstdint>
#include <map>
#include <optional>
#include <span>

namespace quillmote::input {

// The one key table: the keys the protocol names, and for every key the controller presses the
// keysym it stands for in a US layout (a letter's or a digit's is its character). X11 and the portal resolve
// keys through the keysym so that any keymap works; uinput presses the evdev key, a place on the keyboard.

// "KEY:" names: ENTER, ESC, …, DELETE, HOME, F1–F12; COMMAND is the Control key. Empty for names the table
// lacks.
std::optional<std::uint16_t> keyNamed(QStringView name);
// A "KEY:" chord: modifiers (CTRL, SHIFT, ALT, SUPER) each followed by "+", then a name above or one
// capital letter or digit: "CTRL+C", "CTRL+SHIFT+T", "ALT+F4". Empty unless every part is known, once.
struct Chord
{
    std::uint16_t key;
    ModifierSet modifiers;
};
std::optional<Chord> chordNamed(QStringView name);
// "VOLUME:" names: UP, DOWN, MUTE, as media keys.
std::optional<std::uint16_t> volumeKeyNamed(QStringView name);
// "KEY:" names of media keys: PLAY_PAUSE, NEXT_TRACK, PREVIOUS_TRACK.
std::optional<std::uint16_t> mediaKeyNamed(QStringView name);
// Text that more characters could still make a "KEY:" name ("ENT", "PAGE_") or a "VOLUME:" one:
// what a read cut short ends with.
bool beginsKeyName(QStringView text);
bool beginsVolumeName(QStringView text);

// The keysym of a key of the table; empty for keys it does not list.
std::optional<std::uint32_t> keysymOf(std::uint16_t key);
// The keysym of a letter or digit key (Latin-1 keysyms are the characters themselves): what a
// shortcut such as Control+V means in the user's layout. Empty for every other key.
std::optional<std::uint32_t> characterKeysym(std::uint16_t key);
// Whether a key change is a shortcut's letter: a letter or digit pressed with Control, Alt or Super.
std::optional<std::uint32_t> shortcutKeysym(const KeyChange& change);

// The key each held key went down as, where a layout chose another for it, so that its release
// goes to the same key even when the layout changed meanwhile.
class PressedKeys
{
public:
    std::uint16_t press(std::uint16_t key, std::uint16_t chosen)
    {
        m_chosen[key] = chosen;
        return chosen;
    }
    // The key to release: the one it went down as, else itself.
    std::uint16_t release(std::uint16_t key)
    {
        const auto pressed = m_chosen.find(key);
        if (pressed == m_chosen.end())
            return key;
        const std::uint16_t chosen = pressed->second;
        m_chosen.erase(pressed);
        return chosen;
    }

private:
    std::map<std::uint16_t, std::uint16_t> m_chosen;
};

// A key of the US layout with its character alone and with Shift: the one place that says which
// key a letter, a digit or a sign is on.
struct UsKey
{
    std::uint16_t key;
    char plain;
    char shifted;
};
std::span<const UsKey> usLayout();
// The key of a lowercase letter or a digit in the US layout; empty for every other character.
std::optional<std::uint16_t> letterOrDigitKey(char32_t c);

// The left-hand key of a modifier.
std::uint16_t modifierKey(Modifier modifier);
// Whether the key is one that modifierKey() gives.
bool isModifierKey(std::uint16_t key);

} // namespace quillmote::input
