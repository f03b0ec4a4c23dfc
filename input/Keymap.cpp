// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/Keymap.h"

#include "input/KeyTable.h"

#include <linux/input-event-codes.h>

namespace quillmote::input {

CharacterKeys usCharacterKeys()
{
    CharacterKeys keys{{U' ', {KEY_SPACE, 0}}};
    for (const UsKey& row : usLayout()) {
        keys[static_cast<char32_t>(row.plain)] = {row.key, 0};
        keys[static_cast<char32_t>(row.shifted)] = {row.key, Shift};
    }
    return keys;
}

} // namespace quillmote::input
