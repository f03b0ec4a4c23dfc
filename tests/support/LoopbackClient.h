// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillmote::test {

// Lets the event loop run for a while, for work posted to it.
inline void spinEventLoop(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// A plain TCP client on the loopback network for a server that runs on this thread's event
// loop: every wait keeps the loop turning so the server can answer.
class LoopbackClient
{
public:
    explicit LoopbackClient(quint16 port, const char* sourceAddress = "127.0.0.1")
        : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in source{AF_INET, 0, {}, {}};
        sockaddr_in target{AF_INET, htons(port), {}, {}};
        ::inet_pton(AF_INET, sourceAddress, &source.sin_addr);
        ::inet_pton(AF_INET, "127.0.0.1", &target.sin_addr);
        if (m_fd >= 0 && (::bind(m_fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
                          ::connect(m_fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0)) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~LoopbackClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    bool isConnected() const { return m_fd >= 0; }
    void send(const QByteArray& bytes)
    {
        if (m_fd >= 0)
            ::send(m_fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
    }
    // What arrives within waitMs, returned as soon as anything arrives (empty: nothing).
    QByteArray receive(int waitMs = 2000)
    {
        QByteArray received;
        const QDeadlineTimer deadline(waitMs);
        while (m_fd >= 0 && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            char buffer[4096];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                received.append(buffer, n);
                spinEventLoop(5); // let a reply that is still on its way join this one
                continue;
            }
            m_peerEnded |= n == 0;
            if (!received.isEmpty() || n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                break;
        }
        return received;
    }
    QByteArray exchange(const QByteArray& message, int waitMs = 2000)
    {
        send(message);
        return receive(waitMs);
    }
    bool staysSilent(int waitMs = 200) { return receive(waitMs).isEmpty(); }
    // True when the server ends the stream within waitMs.
    bool isEndedByServer(int waitMs = 2000)
    {
        const QDeadlineTimer deadline(waitMs);
        while (!m_peerEnded && !deadline.hasExpired())
            receive(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        return m_peerEnded;
    }
    // Ends our side of the stream (FIN).
    void finish() { ::shutdown(m_fd, SHUT_WR); }

private:
    int m_fd = -1;
    bool m_peerEnded = false;
};

} // namespace quillmote::test
