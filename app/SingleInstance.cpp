// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/SingleInstance.h"

#include "util/Console.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmote {

namespace {
// A folder only this user can enter: created 0700, or one that already is that and is ours.
// Anything else may have been planted by another user.
bool isPrivateFolder(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st = {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

// The session's own runtime folder (private to the user, gone at logout), else a private folder
// in the user's cache. Never a shared place such as /tmp or the abstract namespace: another user
// could take the name first, and every launch would then start a server of its own.
QString defaultName()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QStringLiteral("/quillmote.socket");
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty())
        cache = QDir::homePath() + QStringLiteral("/.cache");
    QDir().mkpath(cache);
    const QString folder = cache + QStringLiteral("/quillmote");
    if (isPrivateFolder(folder))
        return folder + QStringLiteral("/instance.socket");
    console::line(QStringLiteral("%1 is not a folder private to this user; a second launch will start "
                                 "another server, and --allow cannot reach this one.")
                      .arg(folder));
    return {};
}

bool peerIsThisUser(qintptr descriptor)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    return ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           peer.uid == ::getuid();
}
} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(name.isEmpty() ? defaultName() : std::move(name))
{
    // Only this user may connect: the socket lives in a per-user place, with per-user rights,
    // and the peer's credentials are checked as well.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!peerIsThisUser(socket->socketDescriptor())) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > maxRequest)
                        socket->abort();
                    return;
                }
                const QByteArray line = socket->readLine(maxRequest).trimmed();
                QByteArray reply;
                if (line == "show") {
                    Q_EMIT activationRequested();
                    reply = "shown";
                } else if (m_handler) {
                    reply = m_handler(line);
                }
                socket->write((reply.isEmpty() ? QByteArray("unknown request") : reply) + '\n');
                socket->disconnectFromServer();
            });
        }
    });
}

std::optional<QByteArray> SingleInstance::request(QByteArrayView line, int timeoutMs)
{
    if (m_name.isEmpty())
        return std::nullopt;
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs) || !peerIsThisUser(socket.socketDescriptor()))
        return std::nullopt;
    socket.write(line.toByteArray() + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return std::nullopt;
    while (!socket.canReadLine() && socket.waitForReadyRead(timeoutMs)) {
        if (socket.bytesAvailable() > maxRequest)
            return std::nullopt;
    }
    if (!socket.canReadLine())
        return std::nullopt;
    return socket.readLine(maxRequest).trimmed();
}

bool SingleInstance::notifyRunning(int timeoutMs)
{
    if (m_name.isEmpty())
        return false;
    // Written is enough: the running instance shows itself whether or not we wait for its word.
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs) || !peerIsThisUser(socket.socketDescriptor()))
        return false;
    socket.write("show\n");
    return socket.waitForBytesWritten(timeoutMs);
}

bool SingleInstance::listen()
{
    if (m_name.isEmpty())
        return false;
    // Listening would silently take the name from a running instance, so ask first.
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(200) && peerIsThisUser(probe.socketDescriptor()))
        return false;
    probe.abort();
    // Whatever is left is the socket file of an instance that ended without removing it.
    QLocalServer::removeServer(m_name);
    return m_server.listen(m_name);
}

} // namespace quillmote
