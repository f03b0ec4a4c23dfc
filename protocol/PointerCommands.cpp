// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/InputController.h"
#include "protocol/Arguments.h"
#include "protocol/InputCommands.h"
#include "util/CutShort.h"

namespace quillmote::protocol {

QString handleMove(input::InputController& input, QStringView rest)
{
    const auto delta = toNumberPair(rest);
    if (!delta)
        return {};
    input.movePointer(delta->first, delta->second);
    return QStringLiteral("ACK_MOVE");
}

QString handleDrag(input::InputController& input, QStringView rest)
{
    const auto delta = toNumberPair(rest);
    if (!delta)
        return {};
    input.dragPointer(delta->first, delta->second);
    return QStringLiteral("ACK_DRAG");
}

QString handleMouseDown(input::InputController& input, QStringView)
{
    input.mouseDown();
    return QStringLiteral("ACK_MOUSE_DOWN");
}

QString handleMouseUp(input::InputController& input, QStringView)
{
    input.mouseUp();
    return QStringLiteral("ACK_MOUSE_UP");
}

QString handleScroll(input::InputController& input, QStringView rest)
{
    if (const auto delta = toNumberPair(rest))
        input.scroll(delta->first, delta->second);
    return {};
}

QString handleMagnify(input::InputController& input, QStringView rest)
{
    if (const auto scale = toNumber(rest))
        input.magnify(*scale);
    return {};
}

QString handleClick(input::InputController& input, QStringView rest)
{
    if (rest == u"LEFT") {
        input.leftClick();
        return QStringLiteral("ACK_CLICK");
    }
    if (rest == u"RIGHT") {
        input.rightClick();
        return QStringLiteral("ACK_CLICK");
    }
    // Added for the browser remote's three-finger tap.
    if (rest == u"MIDDLE") {
        input.middleClick();
        return QStringLiteral("ACK_CLICK");
    }
    if (rest == u"DOUBLE") {
        input.doubleClick();
        return QStringLiteral("ACK_DOUBLE_CLICK");
    }
    return {};
}

bool isClickName(QStringView rest)
{
    return rest == u"LEFT" || rest == u"RIGHT" || rest == u"MIDDLE" || rest == u"DOUBLE";
}

bool beginsClickName(QStringView rest)
{
    for (const QStringView name : {u"LEFT", u"RIGHT", u"MIDDLE", u"DOUBLE"}) {
        if (isCutShort(rest, name))
            return true;
    }
    return false;
}

} // namespace quillmote::protocol
