// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/Listener.h"

#include "util/Console.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillmote {

namespace {
QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

Listener::Listener(std::unique_ptr<ServiceAdvertiser> advertiser, QString name, QString type, PortChoice port)
    : m_choice(port), m_advertiser(std::move(advertiser)), m_name(std::move(name)), m_type(std::move(type))
{
    m_resumeTimer.setSingleShot(true);
    connect(&m_resumeTimer, &QTimer::timeout, this, [this] {
        if (m_notifier)
            m_notifier->setEnabled(true);
    });
    connect(m_advertiser.get(), &ServiceAdvertiser::established, this, [this](const QString& advertised) {
        m_advertisedName = advertised;
        if (m_state != ListenerState::Failed && m_state != ListenerState::Cancelled)
            setState(ListenerState::Ready);
    });
    connect(m_advertiser.get(), &ServiceAdvertiser::impostorSeen, this, &Listener::impostorSeen);
    connect(m_advertiser.get(), &ServiceAdvertiser::impostorGone, this, &Listener::impostorGone);
    connect(m_advertiser.get(), &ServiceAdvertiser::unreachable, this, [this](const QString& reason) {
        if (m_state != ListenerState::Failed && m_state != ListenerState::Cancelled)
            setState(ListenerState::Waiting, reason);
    });
    connect(m_advertiser.get(), &ServiceAdvertiser::failed, this, [this](const QString& reason) {
        if (m_state == ListenerState::Failed || m_state == ListenerState::Cancelled)
            return;
        closeSocket();
        setState(ListenerState::Failed, reason);
    });
}

Listener::~Listener()
{
    closeSocket();
}

quint16 Listener::port() const
{
    return m_port;
}

bool Listener::listen(quint16 port, QString* error, int* errorNumber)
{
    // One dual-stack socket: IPv6 clients and IPv4 ones (as mapped addresses) alike.
    UniqueFd fd(::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_storage address{};
    socklen_t length = 0;
    if (fd) {
        const int no = 0;
        ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_any;
        v6->sin6_port = htons(port);
        length = sizeof *v6;
    } else {
        fd.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)); // no IPv6 on this host
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_ANY);
        v4->sin_port = htons(port);
        length = sizeof *v4;
    }
    if (!fd) {
        *error = errorText(errno);
        return false;
    }
    // Connections of a previous run still in TIME_WAIT must not keep a restart off its port.
    const int yes = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd.get(), SOMAXCONN) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int failure = errno;
        *error = port == 0
                     ? errorText(failure)
                     : QStringLiteral("cannot listen on TCP port %1: %2").arg(port).arg(errorText(failure));
        if (errorNumber)
            *errorNumber = failure;
        return false;
    }
    m_socket = std::move(fd);
    m_port = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                                 : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    m_notifier = std::make_unique<QSocketNotifier>(m_socket.get(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &Listener::acceptPending);
    return true;
}

void Listener::closeSocket()
{
    m_resumeTimer.stop();
    m_notifier.reset();
    m_socket.reset();
}

void Listener::start()
{
    QString error;
    int failure = 0;
    bool bound = listen(m_choice.port, &error, &failure);
    if (!bound && m_choice.port != 0 && m_choice.fallBackWhenTaken && failure == EADDRINUSE) {
        console::line(
            QStringLiteral("Port %1 is in use; listening on a port the system chooses").arg(m_choice.port));
        bound = listen(0, &error);
        if (bound) {
            m_takenPort = m_choice.port;
            m_takenBy = PortHolder::of(m_choice.port);
        }
    }
    if (!bound) {
        setState(ListenerState::Failed, error);
        return;
    }
    Q_EMIT listening(m_port);
    m_advertiser->advertise(m_name, m_type, m_port);
}

void Listener::cancel()
{
    closeSocket();
    m_advertiser.reset();
    setState(ListenerState::Cancelled);
}

void Listener::acceptPending()
{
    // Bounded so that a stream of new connections cannot starve the rest of the loop.
    for (int i = 0; i < 64 && m_socket; ++i) {
        const int fd = ::accept4(m_socket.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            m_resumeDelay.reset();
            Q_EMIT newConnection(fd);
            continue;
        }
        const int error = errno;
        if (error == EINTR || error == ECONNABORTED || error == EPROTO)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return;
        // Out of descriptors or memory: pause, and try again later.
        if (!m_resumeDelay.active())
            console::line(QStringLiteral("Accepting paused: ") + errorText(error));
        m_notifier->setEnabled(false);
        m_resumeTimer.start(m_resumeDelay.next());
        return;
    }
}

void Listener::setState(ListenerState state, const QString& error)
{
    m_state = state;
    m_error = error;
    Q_EMIT stateChanged(state, error);
}

} // namespace quillmote
