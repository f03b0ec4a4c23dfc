// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>
#include <QStringView>

namespace quillmote::input {
class InputController;
}

namespace quillmote::protocol {

// Handlers of the pointer and keyboard rows. Each takes the text after its keyword, calls at
// most one controller operation once its arguments have converted, and returns the reply
// (empty: none). Replies depend on the command alone, never on what the desktop did.
QString handleMove(input::InputController& input, QStringView rest);
QString handleDrag(input::InputController& input, QStringView rest);
QString handleMouseDown(input::InputController& input, QStringView rest);
QString handleMouseUp(input::InputController& input, QStringView rest);
QString handleScroll(input::InputController& input, QStringView rest);
QString handleMagnify(input::InputController& input, QStringView rest);
QString handleClick(input::InputController& input, QStringView rest);

QString handleVolume(input::InputController& input, QStringView rest);
QString handleType(input::InputController& input, QStringView rest);
QString handleKey(input::InputController& input, QStringView rest);

// Arguments that the handlers above act on as they stand, and those that more characters could
// still make so (an empty name included).
bool isClickName(QStringView rest);
bool beginsClickName(QStringView rest);
bool isVolumeName(QStringView rest);
bool beginsVolumeName(QStringView rest);
bool isText(QStringView rest);
bool isKeyName(QStringView rest);
bool beginsKeyName(QStringView rest);

} // namespace quillmote::protocol
