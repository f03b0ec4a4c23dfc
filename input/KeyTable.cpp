// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/KeyTable.h"

#include "util/CutShort.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <iterator>

namespace quillmote::input {

namespace {
struct Row
{
    const char16_t* name; // the protocol's name, or null for keys it does not name
    std::uint16_t key;
    std::uint32_t keysym;
};

constexpr Row table[] = {
    {u"ENTER", KEY_ENTER, 0xff0d},
    {u"ESC", KEY_ESC, 0xff1b},
    {u"BACKSPACE", KEY_BACKSPACE, 0xff08},
    {u"SPACE", KEY_SPACE, 0x20},
    {u"TAB", KEY_TAB, 0xff09},
    {u"UP", KEY_UP, 0xff52},
    {u"DOWN", KEY_DOWN, 0xff54},
    {u"LEFT", KEY_LEFT, 0xff51},
    {u"RIGHT", KEY_RIGHT, 0xff53},
    {u"COMMAND", KEY_LEFTCTRL, 0xffe3},
    // Added for the browser remote; the phone app never sends them.
    {u"DELETE", KEY_DELETE, 0xffff},
    {u"HOME", KEY_HOME, 0xff50},
    {u"END", KEY_END, 0xff57},
    {u"PAGE_UP", KEY_PAGEUP, 0xff55},
    {u"PAGE_DOWN", KEY_PAGEDOWN, 0xff56},
    {u"F1", KEY_F1, 0xffbe},
    {u"F2", KEY_F2, 0xffbf},
    {u"F3", KEY_F3, 0xffc0},
    {u"F4", KEY_F4, 0xffc1},
    {u"F5", KEY_F5, 0xffc2},
    {u"F6", KEY_F6, 0xffc3},
    {u"F7", KEY_F7, 0xffc4},
    {u"F8", KEY_F8, 0xffc5},
    {u"F9", KEY_F9, 0xffc6},
    {u"F10", KEY_F10, 0xffc7},
    {u"F11", KEY_F11, 0xffc8},
    {u"F12", KEY_F12, 0xffc9},
    {nullptr, KEY_LEFTSHIFT, 0xffe1},
    {nullptr, KEY_LEFTALT, 0xffe9},
    {nullptr, KEY_LEFTMETA, 0xffeb},
    {nullptr, KEY_RIGHTALT, 0xfe03}, // ISO_Level3_Shift: wherever the layout has it
    {nullptr, KEY_INSERT, 0xff63},
    {nullptr, KEY_VOLUMEUP, 0x1008ff13},
    {nullptr, KEY_VOLUMEDOWN, 0x1008ff11},
    {nullptr, KEY_MUTE, 0x1008ff12},
    {nullptr, KEY_PLAYPAUSE, 0x1008ff14},
    {nullptr, KEY_NEXTSONG, 0x1008ff17},
    {nullptr, KEY_PREVIOUSSONG, 0x1008ff16},
    {nullptr, KEY_BRIGHTNESSUP, 0x1008ff02},
    {nullptr, KEY_BRIGHTNESSDOWN, 0x1008ff03},
};

// Each key of the US layout with its character alone and with Shift.
constexpr UsKey usKeys[] = {
    {KEY_GRAVE, '`', '~'},       {KEY_1, '1', '!'},          {KEY_2, '2', '@'},     {KEY_3, '3', '#'},
    {KEY_4, '4', '$'},           {KEY_5, '5', '%'},          {KEY_6, '6', '^'},     {KEY_7, '7', '&'},
    {KEY_8, '8', '*'},           {KEY_9, '9', '('},          {KEY_0, '0', ')'},     {KEY_MINUS, '-', '_'},
    {KEY_EQUAL, '=', '+'},       {KEY_Q, 'q', 'Q'},          {KEY_W, 'w', 'W'},     {KEY_E, 'e', 'E'},
    {KEY_R, 'r', 'R'},           {KEY_T, 't', 'T'},          {KEY_Y, 'y', 'Y'},     {KEY_U, 'u', 'U'},
    {KEY_I, 'i', 'I'},           {KEY_O, 'o', 'O'},          {KEY_P, 'p', 'P'},     {KEY_LEFTBRACE, '[', '{'},
    {KEY_RIGHTBRACE, ']', '}'},  {KEY_BACKSLASH, '\\', '|'}, {KEY_A, 'a', 'A'},     {KEY_S, 's', 'S'},
    {KEY_D, 'd', 'D'},           {KEY_F, 'f', 'F'},          {KEY_G, 'g', 'G'},     {KEY_H, 'h', 'H'},
    {KEY_J, 'j', 'J'},           {KEY_K, 'k', 'K'},          {KEY_L, 'l', 'L'},     {KEY_SEMICOLON, ';', ':'},
    {KEY_APOSTROPHE, '\'', '"'}, {KEY_Z, 'z', 'Z'},          {KEY_X, 'x', 'X'},     {KEY_C, 'c', 'C'},
    {KEY_V, 'v', 'V'},           {KEY_B, 'b', 'B'},          {KEY_N, 'n', 'N'},     {KEY_M, 'm', 'M'},
    {KEY_COMMA, ',', '<'},       {KEY_DOT, '.', '>'},        {KEY_SLASH, '/', '?'},
};

bool isLetterOrDigit(char32_t c)
{
    return (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9');
}

struct VolumeRow
{
    const char16_t* name;
    std::uint16_t key;
};
constexpr VolumeRow volumeKeys[] = {{u"UP", KEY_VOLUMEUP}, {u"DOWN", KEY_VOLUMEDOWN}, {u"MUTE", KEY_MUTE}};
// Media keys by "KEY:" name: like every KEY: they are acknowledged, unlike VOLUME:.
constexpr VolumeRow mediaKeys[] = {
    {u"PLAY_PAUSE", KEY_PLAYPAUSE}, {u"NEXT_TRACK", KEY_NEXTSONG}, {u"PREVIOUS_TRACK", KEY_PREVIOUSSONG}};

std::optional<std::uint16_t> find(const VolumeRow* begin, const VolumeRow* end, QStringView name)
{
    for (const VolumeRow* row = begin; row != end; ++row) {
        if (name == QStringView(row->name))
            return row->key;
    }
    return std::nullopt;
}

const Row* rowOf(std::uint16_t key)
{
    const auto row =
        std::find_if(std::begin(table), std::end(table), [key](const Row& r) { return r.key == key; });
    return row == std::end(table) ? nullptr : row;
}
} // namespace

std::optional<std::uint16_t> keyNamed(QStringView name)
{
    for (const Row& row : table) {
        if (row.name && name == QStringView(row.name))
            return row.key;
    }
    return std::nullopt;
}

std::optional<Chord> chordNamed(QStringView name)
{
    struct Named
    {
        const char16_t* name;
        Modifier modifier;
    };
    static constexpr Named modifiers[] = {
        {u"CTRL", Control}, {u"SHIFT", Shift}, {u"ALT", Alt}, {u"SUPER", Super}};
    Chord chord{0, 0};
    for (qsizetype plus = name.indexOf(u'+'); plus > 0; plus = name.indexOf(u'+')) {
        const QStringView part = name.left(plus);
        const auto found = std::find_if(std::begin(modifiers), std::end(modifiers),
                                        [part](const Named& m) { return part == QStringView(m.name); });
        if (found == std::end(modifiers) || (chord.modifiers & found->modifier))
            return std::nullopt;
        chord.modifiers |= found->modifier;
        name = name.mid(plus + 1);
    }
    if (chord.modifiers == 0)
        return std::nullopt;
    const char16_t single = name.size() == 1 ? name.front().unicode() : u'\0';
    std::optional<std::uint16_t> key;
    if ((single >= u'A' && single <= u'Z') || (single >= u'0' && single <= u'9'))
        key = letterOrDigitKey(QChar(single).toLower().unicode());
    else
        key = keyNamed(name);
    if (!key)
        return std::nullopt;
    chord.key = *key;
    return chord;
}

std::optional<std::uint16_t> volumeKeyNamed(QStringView name)
{
    return find(std::begin(volumeKeys), std::end(volumeKeys), name);
}

std::optional<std::uint16_t> mediaKeyNamed(QStringView name)
{
    return find(std::begin(mediaKeys), std::end(mediaKeys), name);
}

bool beginsKeyName(QStringView text)
{
    const auto begins = [text](const char16_t* name) { return name && isCutShort(text, QStringView(name)); };
    return std::any_of(std::begin(table), std::end(table),
                       [&begins](const Row& r) { return begins(r.name); }) ||
           std::any_of(std::begin(mediaKeys), std::end(mediaKeys),
                       [&begins](const VolumeRow& r) { return begins(r.name); });
}

bool beginsVolumeName(QStringView text)
{
    return std::any_of(std::begin(volumeKeys), std::end(volumeKeys),
                       [text](const VolumeRow& r) { return isCutShort(text, QStringView(r.name)); });
}

std::optional<std::uint32_t> keysymOf(std::uint16_t key)
{
    if (const Row* row = rowOf(key))
        return row->keysym;
    return characterKeysym(key);
}

std::optional<std::uint32_t> characterKeysym(std::uint16_t key)
{
    const auto row =
        std::find_if(std::begin(usKeys), std::end(usKeys), [key](const UsKey& k) { return k.key == key; });
    if (row != std::end(usKeys) && isLetterOrDigit(static_cast<char32_t>(row->plain)))
        return static_cast<std::uint32_t>(row->plain);
    return std::nullopt;
}

std::span<const UsKey> usLayout()
{
    return usKeys;
}

std::optional<std::uint16_t> letterOrDigitKey(char32_t c)
{
    if (!isLetterOrDigit(c))
        return std::nullopt;
    const auto row = std::find_if(std::begin(usKeys), std::end(usKeys),
                                  [c](const UsKey& k) { return static_cast<char32_t>(k.plain) == c; });
    return row == std::end(usKeys) ? std::nullopt : std::optional<std::uint16_t>(row->key);
}

std::optional<std::uint32_t> shortcutKeysym(const KeyChange& change)
{
    if ((change.modifiers & (Control | Alt | Super)) == 0)
        return std::nullopt;
    return characterKeysym(change.key);
}

std::uint16_t modifierKey(Modifier modifier)
{
    switch (modifier) {
    case Control:
        return KEY_LEFTCTRL;
    case Shift:
        return KEY_LEFTSHIFT;
    case Alt:
        return KEY_LEFTALT;
    case Super:
        return KEY_LEFTMETA;
    case AltGr:
        return KEY_RIGHTALT;
    }
    return KEY_LEFTCTRL;
}

bool isModifierKey(std::uint16_t key)
{
    return std::any_of(std::begin(modifierOrder), std::end(modifierOrder),
                       [key](Modifier m) { return modifierKey(m) == key; });
}

} // namespace quillmote::input
