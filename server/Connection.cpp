// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/Connection.h"

#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillmote {

namespace {
std::atomic<quint64> identities{1};

// A released connection whose peer never reads its last reply is not kept forever.
constexpr int lingerForOutputMs = 10'000;
} // namespace

quint64 nextConnectionIdentity()
{
    return identities.fetch_add(1);
}

std::shared_ptr<Connection> Connection::adopt(int descriptor)
{
    // The last reference is often dropped inside this connection's own notifier callback;
    // release() then defers the deletion to the event loop.
    return std::shared_ptr<Connection>(new Connection(descriptor), [](Connection* c) { c->release(); });
}

Connection::Connection(int descriptor)
    : m_descriptor(descriptor), m_peer{nextConnectionIdentity(), {}},
      m_lastActivity(std::chrono::steady_clock::now()), m_readNotifier(descriptor, QSocketNotifier::Read),
      m_writeNotifier(descriptor, QSocketNotifier::Write)
{
    const int fd = m_descriptor.get();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    // Replies are tiny and each one answers a command: send them at once.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // A phone that vanishes (Wi-Fi lost, battery out) sends no reset; probes find it out
    // within about a minute, and the read error then ends the connection.
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &keepAliveIdleSeconds, sizeof keepAliveIdleSeconds);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &keepAliveIntervalSeconds, sizeof keepAliveIntervalSeconds);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &keepAliveProbes, sizeof keepAliveProbes);

    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
        m_peer.address.setAddress(reinterpret_cast<const sockaddr*>(&peer));
        // IPv4 clients reach the dual-stack listener as ::ffff:a.b.c.d; show them as IPv4.
        bool isV4 = false;
        const quint32 v4 = m_peer.address.toIPv4Address(&isV4);
        if (isV4)
            m_peer.address.setAddress(v4);
    }

    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    connect(&m_readNotifier, &QSocketNotifier::activated, this, &Connection::onReadable);
    connect(&m_writeNotifier, &QSocketNotifier::activated, this, &Connection::onWritable);
}

Connection::~Connection()
{
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
}

void Connection::receive(Completion completion)
{
    m_completion = std::move(completion);
    if (!m_readNotifier.isEnabled())
        m_readNotifier.setEnabled(true);
}

void Connection::onReadable()
{
    char buffer[maxRead];
    const ssize_t n = ::read(m_descriptor.get(), buffer, sizeof buffer);
    const int readError = errno;
    if (n < 0 && (readError == EAGAIN || readError == EWOULDBLOCK || readError == EINTR))
        return;
    m_lastActivity = std::chrono::steady_clock::now();

    // The completion may drop the last reference to this connection; release() then defers
    // the deletion until this notifier callback has returned.
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    if (!completion) {
        m_readNotifier.setEnabled(false);
        return;
    }
    m_inCallback = true;
    if (n > 0)
        completion(QByteArray(buffer, n), false, std::nullopt);
    else if (n == 0)
        completion(QByteArray(), true, std::nullopt);
    else
        completion(QByteArray(), false, QString::fromLocal8Bit(std::strerror(readError)));
    completion = nullptr;
    // Switching the notifier off and on costs the event loop a wake-up: it stays on when the
    // completion armed the next read at once, as it mostly does.
    if (!m_completion && !m_released)
        m_readNotifier.setEnabled(false);
    m_inCallback = false;
    if (m_released && m_pendingOutput.isEmpty())
        deleteLater();
}

void Connection::send(const QByteArray& bytes)
{
    m_pendingOutput += bytes;
    flush();
}

void Connection::whenSent(std::function<void()> handler)
{
    m_sent = std::move(handler);
    if (m_pendingOutput.isEmpty())
        std::exchange(m_sent, nullptr)();
}

qsizetype Connection::bytesAvailable() const
{
    int available = 0;
    return ::ioctl(m_descriptor.get(), FIONREAD, &available) == 0 ? available : 0;
}

void Connection::flush()
{
    while (!m_pendingOutput.isEmpty()) {
        const ssize_t n = ::send(m_descriptor.get(), m_pendingOutput.constData(),
                                 static_cast<size_t>(m_pendingOutput.size()), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writeNotifier.setEnabled(true);
            return;
        }
        if (n < 0) {
            m_pendingOutput.clear();
            break;
        }
        m_pendingOutput.remove(0, n);
    }
    m_writeNotifier.setEnabled(false);
}

void Connection::onWritable()
{
    m_inCallback = true;
    flush();
    if (m_pendingOutput.isEmpty() && m_sent)
        std::exchange(m_sent, nullptr)();
    m_inCallback = false;
    if (m_released && m_pendingOutput.isEmpty())
        deleteLater();
}

void Connection::abandon()
{
    m_readNotifier.setEnabled(false);
    Completion dropped = std::move(m_completion);
    m_completion = nullptr;
    // `dropped` may hold the last reference: no member is touched after this point.
}

void Connection::shutdown()
{
    ::shutdown(m_descriptor.get(), SHUT_RDWR);
}

void Connection::release()
{
    m_released = true;
    m_readNotifier.setEnabled(false);
    Completion dropped = std::move(m_completion);
    m_completion = nullptr;
    if (!m_pendingOutput.isEmpty()) {
        QTimer::singleShot(lingerForOutputMs, this, [this] { deleteLater(); });
        return;
    }
    // Inside our own callback the notifier that called us is still on the stack.
    if (!m_inCallback)
        delete this;
}

} // namespace quillmote
