// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"

#include <vector>

struct _XDisplay;

namespace quillmote::x11 {

// xscreensaver's blank screen and lock, as far as typing a password into it needs to know. It
// says on the root window whether it blanked or locked the screen (_SCREENSAVER_STATUS: BLANK or
// LOCK, then times); a key at the blank screen only wakes it, one at the lock only starts its
// unlock dialog and the keys after it are lost until the dialog is up; and the dialog reads a
// key's modifiers when it gets to the key, not when it was pressed.
namespace screenlocker {

enum class State { Awake, Blank, Locked };
State state(_XDisplay* display);
// Whether the unlock dialog is up: a window of xscreensaver's that covers no whole monitor (its
// blanking windows cover one each).
bool dialogShown(_XDisplay* display, const std::vector<input::Rect>& monitors);

} // namespace screenlocker
} // namespace quillmote::x11
