// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>

#include <unistd.h>

namespace quillmote::ui {

namespace {
constexpr char request[] = "show\n";
}

namespace {
// The session's own runtime folder when there is one (private to the user, gone at logout),
// else a per-user name in the temporary folder.
QString defaultName()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QStringLiteral("/quillmote.socket");
    return QStringLiteral("quillmote-%1").arg(getuid());
}
} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(name.isEmpty() ? defaultName() : std::move(name))
{
    // Only this user may connect: the socket lives in a per-user place, with per-user rights.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains('\n'))
                    Q_EMIT activationRequested();
                socket->disconnectFromServer();
            });
        }
    });
}

bool SingleInstance::notifyRunning(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(request);
    return socket.waitForBytesWritten(timeoutMs);
}

bool SingleInstance::listen()
{
    // Listening would silently take the name from a running instance, so ask first.
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(200))
        return false;
    // Whatever is left is the socket file of an instance that ended without removing it.
    QLocalServer::removeServer(m_name);
    return m_server.listen(m_name);
}

} // namespace quillmote::ui
