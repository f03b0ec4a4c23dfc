// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/CommandLine.h"
#include "input/InputAccess.h"
#include "input/InputBackend.h"

#include <QString>

#include <functional>
#include <optional>

namespace quillmote {

class Settings;

// The backend --input names. "auto" walks the candidates of the session in order and takes the
// first one available: x11 in an X11 session; portal, then uinput in a Wayland session (never
// x11 there: $DISPLAY is Xwayland, whose input only X clients see); none when all are passed
// over. Its console line names the choice and why the others were passed over.
//
// The portal is asked for without waiting for its answer: until then the backend's sink is not
// ready and input waits. A backend named on the command line that cannot be opened gives nothing
// and the reason, or, when that is known only later, calls `fail` with it.
std::optional<input::InputBackend> createInputBackend(const InputChoice& choice, const Settings& settings,
                                                      input::InputAccess& access, QString* error,
                                                      std::function<void(const QString& reason)> fail);

} // namespace quillmote
