// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/GraphicalSession.h"

#include "platform/wayland/WaylandSession.h"
#include "platform/x11/X11Backend.h"

#include <QByteArray>
#include <QString>

namespace quillmote {

bool graphicalSessionAvailable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true; // offscreen, vnc, eglfs and the like need no session
    if (!platform.startsWith("xcb") &&
        wayland::waylandDisplayAnswers(QProcessEnvironment::systemEnvironment()))
        return true;
    return !platform.startsWith("wayland") && x11::isDisplayReachable(qgetenv("DISPLAY"));
}

} // namespace quillmote
