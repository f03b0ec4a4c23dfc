// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/InputController.h"
#include "protocol/Arguments.h"
#include "protocol/InputCommands.h"

#include <array>

namespace quillmote::protocol {

namespace {
struct NamedKey
{
    const char16_t* name;
    std::uint16_t keyCode;
    std::uint64_t flags;
};
constexpr std::array<NamedKey, 11> keys{{
    {u"ENTER", 36, 0},
    {u"ESC", 53, 0},
    {u"BACKSPACE", 51, 0},
    {u"SPACE", 49, 0},
    {u"TAB", 48, 0},
    {u"UP", 126, 0},
    {u"DOWN", 125, 0},
    {u"LEFT", 123, 0},
    {u"RIGHT", 124, 0},
    {u"COMMAND", 55, 0},
    {u"PASTE", 9, input::flagCommand},
}};

struct NamedMediaKey
{
    const char16_t* name;
    std::int32_t keyType;
};
constexpr std::array<NamedMediaKey, 3> mediaKeys{{
    {u"UP", 0},
    {u"DOWN", 1},
    {u"MUTE", 7},
}};
} // namespace

QString handleVolume(input::InputController& input, QStringView rest)
{
    for (const NamedMediaKey& key : mediaKeys) {
        if (rest == QStringView(key.name)) {
            input.pressMediaKey(key.keyType);
            break;
        }
    }
    return {};
}

QString handleType(input::InputController& input, QStringView rest)
{
    const std::optional<QByteArray> bytes = decodeBase64(rest);
    if (!bytes)
        return {};
    const std::optional<QString> text = decodeUtf8(*bytes);
    if (!text)
        return {};
    input.typeText(*text);
    return QStringLiteral("ACK_TYPE");
}

QString handleKey(input::InputController& input, QStringView rest)
{
    // PASTE is the focused window's paste chord, which a terminal has its own of.
    if (rest == u"PASTE") {
        input.pressPaste();
        return QStringLiteral("ACK_KEY");
    }
    for (const NamedKey& key : keys) {
        if (rest == QStringView(key.name)) {
            input.pressKey(key.keyCode, key.flags);
            break;
        }
    }
    return QStringLiteral("ACK_KEY");
}

} // namespace quillmote::protocol
