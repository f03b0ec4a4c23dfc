// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace quillmote::wayland {

// A Wayland session: XDG_SESSION_TYPE says so, or WAYLAND_DISPLAY names a socket that answers.
// Then DISPLAY, if set, is Xwayland, whose input reaches X clients only.
bool isWaylandSession(const QProcessEnvironment& environment, QString* why);
// Whether WAYLAND_DISPLAY names a socket that accepts a connection.
bool waylandDisplayAnswers(const QProcessEnvironment& environment);

} // namespace quillmote::wayland
