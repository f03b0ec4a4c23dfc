// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "support/LoopbackClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillmote::test {

void spinEventLoop(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

LoopbackClient::LoopbackClient(quint16 port, const char* sourceAddress)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return;
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, sourceAddress, &source.sin_addr);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &target.sin_addr);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
        ::connect(m_fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

LoopbackClient::~LoopbackClient()
{
    close();
}

void LoopbackClient::send(const QByteArray& bytes)
{
    if (m_fd >= 0)
        ::send(m_fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
}

QByteArray LoopbackClient::receive(int waitMs)
{
    QByteArray received;
    const QDeadlineTimer deadline(waitMs);
    while (m_fd >= 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            received.append(buffer, n);
            // Let a reply that is still on its way join this one.
            spinEventLoop(5);
            continue;
        }
        if (n == 0)
            m_peerEnded = true;
        if (!received.isEmpty() || n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            break;
    }
    return received;
}

QByteArray LoopbackClient::exchange(const QByteArray& message, int waitMs)
{
    send(message);
    return receive(waitMs);
}

bool LoopbackClient::staysSilent(int waitMs)
{
    return receive(waitMs).isEmpty();
}

bool LoopbackClient::isEndedByServer(int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    while (!m_peerEnded && !deadline.hasExpired())
        receive(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    return m_peerEnded;
}

void LoopbackClient::finish()
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_WR);
}

void LoopbackClient::reset()
{
    if (m_fd < 0)
        return;
    const linger abortive{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    close();
}

void LoopbackClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace quillmote::test
