// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/SingleInstance.h"

#include "util/Console.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmote::ui {

namespace {
constexpr char request[] = "show\n";

// A folder only this user can enter: created 0700, or one that already is that and is ours.
// Anything else in a shared folder may have been planted by another user.
bool isPrivateFolder(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st = {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

// The session's own runtime folder when there is one (private to the user, gone at logout),
// else a private per-user folder in the temporary folder. When that folder is not private (another
// user may have planted it), a name in the kernel's abstract namespace, which needs no folder;
// the peers' credentials are checked either way.
QString defaultName(bool* abstract)
{
    *abstract = false;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QStringLiteral("/quillmote.socket");
    const QString folder = QDir::tempPath() + QStringLiteral("/quillmote-%1").arg(::getuid());
    if (isPrivateFolder(folder))
        return folder + QStringLiteral("/instance.socket");
    console::line(
        QStringLiteral("%1 is not a folder private to this user; the single-instance socket is kept "
                       "out of the file system instead.")
            .arg(folder));
    *abstract = true;
    return QStringLiteral("quillmote-instance-%1").arg(::getuid());
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
    : QObject(parent), m_name(name.isEmpty() ? defaultName(&m_abstract) : std::move(name))
{
    // Only this user may connect: the socket lives in a per-user place, with per-user rights,
    // and the peer's credentials are checked as well.
    m_server.setSocketOptions(m_abstract ? QLocalServer::AbstractNamespaceOption
                                         : QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!peerIsThisUser(socket->socketDescriptor())) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
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
    if (m_name.isEmpty())
        return false;
    QLocalSocket socket;
    if (m_abstract)
        socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs) || !peerIsThisUser(socket.socketDescriptor()))
        return false;
    socket.write(request);
    return socket.waitForBytesWritten(timeoutMs);
}

bool SingleInstance::listen()
{
    if (m_name.isEmpty())
        return false;
    // Listening would silently take the name from a running instance, so ask first.
    QLocalSocket probe;
    if (m_abstract)
        probe.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    probe.connectToServer(m_name);
    if (probe.waitForConnected(200) && peerIsThisUser(probe.socketDescriptor()))
        return false;
    probe.abort();
    // Whatever is left is the socket file of an instance that ended without removing it.
    if (!m_abstract)
        QLocalServer::removeServer(m_name);
    return m_server.listen(m_name);
}

} // namespace quillmote::ui
