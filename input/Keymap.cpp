// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/Keymap.h"

#include <linux/input-event-codes.h>

namespace quillmote::input {

CharacterKeys usCharacterKeys()
{
    // Each key with its character alone and with Shift.
    struct Row
    {
        std::uint16_t key;
        char plain;
        char shifted;
    };
    static constexpr Row rows[] = {
        {KEY_GRAVE, '`', '~'},       {KEY_1, '1', '!'},          {KEY_2, '2', '@'},
        {KEY_3, '3', '#'},           {KEY_4, '4', '$'},          {KEY_5, '5', '%'},
        {KEY_6, '6', '^'},           {KEY_7, '7', '&'},          {KEY_8, '8', '*'},
        {KEY_9, '9', '('},           {KEY_0, '0', ')'},          {KEY_MINUS, '-', '_'},
        {KEY_EQUAL, '=', '+'},       {KEY_Q, 'q', 'Q'},          {KEY_W, 'w', 'W'},
        {KEY_E, 'e', 'E'},           {KEY_R, 'r', 'R'},          {KEY_T, 't', 'T'},
        {KEY_Y, 'y', 'Y'},           {KEY_U, 'u', 'U'},          {KEY_I, 'i', 'I'},
        {KEY_O, 'o', 'O'},           {KEY_P, 'p', 'P'},          {KEY_LEFTBRACE, '[', '{'},
        {KEY_RIGHTBRACE, ']', '}'},  {KEY_BACKSLASH, '\\', '|'}, {KEY_A, 'a', 'A'},
        {KEY_S, 's', 'S'},           {KEY_D, 'd', 'D'},          {KEY_F, 'f', 'F'},
        {KEY_G, 'g', 'G'},           {KEY_H, 'h', 'H'},          {KEY_J, 'j', 'J'},
        {KEY_K, 'k', 'K'},           {KEY_L, 'l', 'L'},          {KEY_SEMICOLON, ';', ':'},
        {KEY_APOSTROPHE, '\'', '"'}, {KEY_Z, 'z', 'Z'},          {KEY_X, 'x', 'X'},
        {KEY_C, 'c', 'C'},           {KEY_V, 'v', 'V'},          {KEY_B, 'b', 'B'},
        {KEY_N, 'n', 'N'},           {KEY_M, 'm', 'M'},          {KEY_COMMA, ',', '<'},
        {KEY_DOT, '.', '>'},         {KEY_SLASH, '/', '?'},
    };
    CharacterKeys keys{{U' ', {KEY_SPACE, 0}}};
    for (const Row& row : rows) {
        keys[static_cast<char32_t>(row.plain)] = {row.key, 0};
        keys[static_cast<char32_t>(row.shifted)] = {row.key, Shift};
    }
    return keys;
}

} // namespace quillmote::input
