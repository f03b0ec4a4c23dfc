// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/wayland/WaylandSession.h"

#include "util/UniqueFd.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace quillmote::wayland {

namespace {
bool socketAnswers(const QByteArray& path)
{
    sockaddr_un address{};
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return fd && ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}
} // namespace

bool waylandDisplayAnswers(const QProcessEnvironment& environment)
{
    const QString display = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (display.isEmpty())
        return false;
    const QString path = display.startsWith(u'/')
                             ? display
                             : environment.value(QStringLiteral("XDG_RUNTIME_DIR")) + u'/' + display;
    return socketAnswers(path.toLocal8Bit());
}

bool isWaylandSession(const QProcessEnvironment& environment, QString* why)
{
    if (environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland")) {
        *why = QStringLiteral("XDG_SESSION_TYPE is wayland");
        return true;
    }
    if (!waylandDisplayAnswers(environment))
        return false;
    *why = QStringLiteral("the Wayland display %1 answers")
               .arg(environment.value(QStringLiteral("WAYLAND_DISPLAY")));
    return true;
}

} // namespace quillmote::wayland
