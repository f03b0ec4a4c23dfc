// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/KeyCodes.h"

#include <cstring>

namespace quillmote::input {

namespace {
struct Row
{
    std::uint16_t keyCode;
    LinuxKey key;
};

constexpr Row table[] = {
    {0x00, {30, "a"}},
    {0x01, {31, "s"}},
    {0x02, {32, "d"}},
    {0x03, {33, "f"}},
    {0x04, {35, "h"}},
    {0x05, {34, "g"}},
    {0x06, {44, "z"}},
    {0x07, {45, "x"}},
    {0x08, {46, "c"}},
    {0x09, {47, "v"}},
    {0x0A, {86, "less"}}, // ISO section key
    {0x0B, {48, "b"}},
    {0x0C, {16, "q"}},
    {0x0D, {17, "w"}},
    {0x0E, {18, "e"}},
    {0x0F, {19, "r"}},
    {0x10, {21, "y"}},
    {0x11, {20, "t"}},
    {0x12, {2, "1"}},
    {0x13, {3, "2"}},
    {0x14, {4, "3"}},
    {0x15, {5, "4"}},
    {0x16, {7, "6"}},
    {0x17, {6, "5"}},
    {0x18, {13, "equal"}},
    {0x19, {10, "9"}},
    {0x1A, {8, "7"}},
    {0x1B, {12, "minus"}},
    {0x1C, {9, "8"}},
    {0x1D, {11, "0"}},
    {0x1E, {27, "bracketright"}},
    {0x1F, {24, "o"}},
    {0x20, {22, "u"}},
    {0x21, {26, "bracketleft"}},
    {0x22, {23, "i"}},
    {0x23, {25, "p"}},
    {0x24, {28, "Return"}},
    {0x25, {38, "l"}},
    {0x26, {36, "j"}},
    {0x27, {40, "apostrophe"}},
    {0x28, {37, "k"}},
    {0x29, {39, "semicolon"}},
    {0x2A, {43, "backslash"}},
    {0x2B, {51, "comma"}},
    {0x2C, {53, "slash"}},
    {0x2D, {49, "n"}},
    {0x2E, {50, "m"}},
    {0x2F, {52, "period"}},
    {0x30, {15, "Tab"}},
    {0x31, {57, "space"}},
    {0x32, {41, "grave"}},
    {0x33, {14, "BackSpace"}},
    {0x35, {1, "Escape"}},
    {0x36, {97, "Control_R"}}, // right Command
    {0x37, {29, "Control_L"}}, // Command
    {0x38, {42, "Shift_L"}},
    {0x39, {58, "Caps_Lock"}},
    {0x3A, {56, "Alt_L"}},    // Option
    {0x3B, {125, "Super_L"}}, // Control
    {0x3C, {54, "Shift_R"}},
    {0x3D, {100, "Alt_R"}},
    {0x3E, {126, "Super_R"}},
    {0x40, {187, "F17"}},
    {0x41, {83, "KP_Decimal"}},
    {0x43, {55, "KP_Multiply"}},
    {0x45, {78, "KP_Add"}},
    {0x47, {69, "Num_Lock"}}, // keypad Clear
    {0x48, {115, "XF86AudioRaiseVolume"}},
    {0x49, {114, "XF86AudioLowerVolume"}},
    {0x4A, {113, "XF86AudioMute"}},
    {0x4B, {98, "KP_Divide"}},
    {0x4C, {96, "KP_Enter"}},
    {0x4E, {74, "KP_Subtract"}},
    {0x4F, {188, "F18"}},
    {0x50, {189, "F19"}},
    {0x51, {117, "KP_Equal"}},
    {0x52, {82, "KP_0"}},
    {0x53, {79, "KP_1"}},
    {0x54, {80, "KP_2"}},
    {0x55, {81, "KP_3"}},
    {0x56, {75, "KP_4"}},
    {0x57, {76, "KP_5"}},
    {0x58, {77, "KP_6"}},
    {0x59, {71, "KP_7"}},
    {0x5A, {190, "F20"}},
    {0x5B, {72, "KP_8"}},
    {0x5C, {73, "KP_9"}},
    {0x60, {63, "F5"}},
    {0x61, {64, "F6"}},
    {0x62, {65, "F7"}},
    {0x63, {61, "F3"}},
    {0x64, {66, "F8"}},
    {0x65, {67, "F9"}},
    {0x67, {87, "F11"}},
    {0x69, {183, "F13"}},
    {0x6A, {186, "F16"}},
    {0x6B, {184, "F14"}},
    {0x6D, {68, "F10"}},
    {0x6F, {88, "F12"}},
    {0x71, {185, "F15"}},
    {0x72, {110, "Insert"}}, // Help
    {0x73, {102, "Home"}},
    {0x74, {104, "Prior"}},
    {0x75, {111, "Delete"}},
    {0x76, {62, "F4"}},
    {0x77, {107, "End"}},
    {0x78, {60, "F2"}},
    {0x79, {109, "Next"}},
    {0x7A, {59, "F1"}},
    {0x7B, {105, "Left"}},
    {0x7C, {106, "Right"}},
    {0x7D, {108, "Down"}},
    {0x7E, {103, "Up"}},
};

struct MediaRow
{
    int keyType;
    LinuxKey key;
};
constexpr MediaRow mediaTable[] = {
    {0, {115, "XF86AudioRaiseVolume"}}, {1, {114, "XF86AudioLowerVolume"}},
    {2, {225, "XF86MonBrightnessUp"}},  {3, {224, "XF86MonBrightnessDown"}},
    {7, {113, "XF86AudioMute"}},        {16, {164, "XF86AudioPlay"}},
    {17, {163, "XF86AudioNext"}},       {18, {165, "XF86AudioPrev"}},
};
struct KeysymRow
{
    const char* name;
    std::uint32_t value;
};
constexpr KeysymRow mediaKeysyms[] = {
    {"XF86AudioRaiseVolume", 0x1008ff13}, {"XF86AudioLowerVolume", 0x1008ff11},
    {"XF86AudioMute", 0x1008ff12},        {"XF86AudioPlay", 0x1008ff14},
    {"XF86AudioNext", 0x1008ff17},        {"XF86AudioPrev", 0x1008ff16},
    {"XF86MonBrightnessUp", 0x1008ff02},  {"XF86MonBrightnessDown", 0x1008ff03},
};
} // namespace

std::optional<std::uint32_t> characterKeysym(const char* keysymName)
{
    if (!keysymName || !keysymName[0] || keysymName[1])
        return std::nullopt;
    const char c = keysymName[0];
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return static_cast<std::uint32_t>(c);
    return std::nullopt;
}

std::optional<std::uint32_t> mediaKeysym(const char* keysymName)
{
    if (!keysymName)
        return std::nullopt;
    for (const KeysymRow& row : mediaKeysyms) {
        if (std::strcmp(row.name, keysymName) == 0)
            return row.value;
    }
    return std::nullopt;
}

std::optional<LinuxKey> linuxKeyForKeyCode(std::uint16_t keyCode)
{
    for (const Row& row : table) {
        if (row.keyCode == keyCode)
            return row.key;
    }
    return std::nullopt;
}

std::optional<LinuxKey> linuxKeyForMediaKey(int keyType)
{
    for (const MediaRow& row : mediaTable) {
        if (row.keyType == keyType)
            return row.key;
    }
    return std::nullopt;
}

} // namespace quillmote::input
