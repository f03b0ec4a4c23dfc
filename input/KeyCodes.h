// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <cstdint>
#include <optional>

namespace quillmote::input {

// A virtual key code of the ANSI keyboard as the Linux desktop should see it: the evdev key
// code, and the keysym name a keymap resolves (X11 looks the key up through the keysym, so
// any layout works). Modifiers follow what a Linux user expects of the same shortcuts:
// Command is Control (Command-V pastes), Control is Super, Option is Alt.
struct LinuxKey
{
    std::uint16_t evdevCode;
    const char* keysymName;
};

std::optional<LinuxKey> linuxKeyForKeyCode(std::uint16_t keyCode);

// The key behind an auxiliary (media) key type: 0 volume up, 1 volume down, 7 mute,
// 2 and 3 brightness, 16 play, 17 next, 18 previous.
std::optional<LinuxKey> linuxKeyForMediaKey(int keyType);

// The keysym of a key name that is a single letter or digit (Latin-1 keysyms are the characters
// themselves); empty for other names.
std::optional<std::uint32_t> characterKeysym(const char* keysymName);
// The keysym of a media key's name (XF86AudioRaiseVolume, …); empty for other names.
std::optional<std::uint32_t> mediaKeysym(const char* keysymName);

} // namespace quillmote::input
