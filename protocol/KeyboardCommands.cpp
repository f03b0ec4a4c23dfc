// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/InputController.h"
#include "input/KeyTable.h"
#include "protocol/Arguments.h"
#include "protocol/InputCommands.h"
#include "util/CutShort.h"

namespace quillmote::protocol {

QString handleVolume(input::InputController& input, QStringView rest)
{
    if (const std::optional<std::uint16_t> key = input::volumeKeyNamed(rest))
        input.pressMediaKey(*key);
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
    if (rest == u"PASTE")
        input.pressPaste();
    else if (const std::optional<std::uint16_t> key = input::keyNamed(rest))
        input.pressKey(*key);
    else if (const std::optional<input::Chord> chord = input::chordNamed(rest))
        input.pressKey(chord->key, chord->modifiers);
    else if (const std::optional<std::uint16_t> media = input::mediaKeyNamed(rest))
        input.pressMediaKey(*media);
    return QStringLiteral("ACK_KEY");
}

bool isVolumeName(QStringView rest)
{
    return input::volumeKeyNamed(rest).has_value();
}

bool beginsVolumeName(QStringView rest)
{
    return input::beginsVolumeName(rest);
}

bool isText(QStringView rest)
{
    const std::optional<QByteArray> bytes = decodeBase64(rest);
    return bytes && decodeUtf8(*bytes);
}

bool isKeyName(QStringView rest)
{
    return rest == u"PASTE" || input::keyNamed(rest) || input::mediaKeyNamed(rest) || input::chordNamed(rest);
}

bool beginsKeyName(QStringView rest)
{
    return isCutShort(rest, QStringView(u"PASTE")) || input::beginsKeyName(rest);
}

} // namespace quillmote::protocol
