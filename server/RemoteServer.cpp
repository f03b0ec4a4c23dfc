// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/RemoteServer.h"

#include "server/Connection.h"
#include "server/HostIdentity.h"
#include "server/PairingGate.h"
#include "util/Console.h"
#include "util/Log.h"

#include <sys/resource.h>

namespace quillmote {

namespace {
int defaultUnpairedLimit()
{
    // Leave room below the descriptor limit for paired clients and the process's own files.
    constexpr rlim_t reserved = 32;
    constexpr int ceiling = 256;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return ceiling;
    const rlim_t room = limit.rlim_cur > reserved ? (limit.rlim_cur - reserved) / 2 : 1;
    return static_cast<int>(std::clamp<rlim_t>(room, 1, ceiling));
}
} // namespace

RemoteServer::RemoteServer(Dependencies dependencies)
    : m_gate(dependencies.gate), m_advertiserFactory(std::move(dependencies.advertiserFactory)),
      m_name(dependencies.name.isEmpty() ? host::localComputerName() : dependencies.name),
      m_linkLayerAddress(host::linkLayerAddress()),
      m_unpairedConnectionLimit(dependencies.unpairedConnectionLimit > 0
                                    ? dependencies.unpairedConnectionLimit
                                    : defaultUnpairedLimit()),
      m_port(dependencies.port)
{
    if (m_linkLayerAddress.isEmpty())
        console::line(QStringLiteral("⚠️ WARNING: Failed to get MAC address. "
                                     "WOL feature will not work automatically."));
}

RemoteServer::~RemoteServer()
{
    // Pending reads hold their connections; dropping them lets the connections go.
    for (const std::weak_ptr<OpenConnection>& weak : std::as_const(m_openConnections)) {
        if (const auto connection = std::dynamic_pointer_cast<Connection>(weak.lock()))
            connection->abandon();
    }
}

void RemoteServer::start()
{
    if (m_listener) {
        const ListenerState state = m_listener->state();
        if (state == ListenerState::Ready || state == ListenerState::Setup)
            return;
        m_listener->cancel();
    }
    m_listener.reset();
    m_impostors.clear();
    Q_EMIT listenerStateChanged(ListenerState::Cancelled, {});

    if (m_gate.placeCode())
        Q_EMIT waitingForConnection();

    std::unique_ptr<ServiceAdvertiser> advertiser = m_advertiserFactory ? m_advertiserFactory() : nullptr;
    if (!advertiser) {
        console::line(QStringLiteral("Listener Error: DNS-SD service advertising is not available"));
        return;
    }
    m_listener = std::make_unique<Listener>(std::move(advertiser), m_name, m_serviceType, m_port);
    // With this server as the context object, a handler never runs once the server is gone.
    connect(m_listener.get(), &Listener::newConnection, this,
            [this](int descriptor) { handleNewConnection(Connection::adopt(descriptor)); });
    connect(m_listener.get(), &Listener::stateChanged, this, &RemoteServer::handleListenerState);
    connect(m_listener.get(), &Listener::listening, this, [this] {
        // Phones that come to the usual port hand its holder the code: one it catches must be
        // worthless.
        const Listener& listener = *m_listener;
        if (listener.takenPort() == 0 || !listener.takenBy().mayBeAnotherUser())
            return;
        m_gate.drawNewPairingCode();
        console::line(
            QStringLiteral("Port %1 is held by %2: the pairing code was changed, so that a code sent "
                           "there is of no use")
                .arg(listener.takenPort())
                .arg(listener.takenBy().describe()));
    });
    connect(m_listener.get(), &Listener::listening, this, &RemoteServer::listening);
    connect(m_listener.get(), &Listener::listening, this, &RemoteServer::warningsChanged);
    connect(
        m_listener.get(), &Listener::impostorSeen, this, [this](const QString& name, const QString& where) {
            if (m_impostors.value(name) == where)
                return;
            console::line(QStringLiteral("Another program advertises \"%1\" at %2; it is not this computer")
                              .arg(name, where));
            m_impostors.insert(name, where);
            Q_EMIT warningsChanged();
        });
    connect(m_listener.get(), &Listener::impostorGone, this, [this](const QString& name) {
        if (m_impostors.remove(name))
            Q_EMIT warningsChanged();
    });
    m_listener->start();
}

void RemoteServer::handleListenerState(ListenerState state, const QString& error)
{
    Q_EMIT listenerStateChanged(state, error);
    qCDebug(lcServer).noquote() << "listener state" << int(state) << error;
    switch (state) {
    case ListenerState::Failed:
        console::line(QStringLiteral("Server Failed: ") + error);
        break;
    case ListenerState::Waiting:
        // No status text for waiting, but an unreachable DNS-SD daemon deserves a line.
        console::line(QStringLiteral("Listener waiting: ") + error);
        break;
    case ListenerState::Ready:
    case ListenerState::Setup:
    case ListenerState::Cancelled:
        break;
    }
}

void RemoteServer::handleNewConnection(const std::shared_ptr<Connection>& connection)
{
    qCDebug(lcServer).noquote() << "connection" << connection->peer().identity << "from"
                                << connection->peer().address;
    admit(connection);
    Q_EMIT connectionAccepted(connection);
}

void RemoteServer::admit(const std::shared_ptr<OpenConnection>& connection)
{
    dropLongestIdleUnpaired();
    m_openConnections.insert(connection->peer().identity, connection);
}

void RemoteServer::shutDown(quint64 identity)
{
    if (const std::shared_ptr<OpenConnection> connection = m_openConnections.take(identity).lock())
        connection->shutdown();
}

void RemoteServer::dropLongestIdleUnpaired()
{
    // A flood of idle connections that never pair must not use up the descriptors that a
    // paired client needs: at the bound, the longest-idle unpaired connection makes room.
    // One pass forgets the connections that have ended and finds the longest-idle unpaired one.
    // A phone that paired before and comes back is the last to go: during a flood it would
    // otherwise be closed before its PAIR: is answered.
    const auto before = [this](const OpenConnection& a, const OpenConnection& b) {
        const bool aReturning = m_gate.throttle().isTrusted(a.peer().address);
        const bool bReturning = m_gate.throttle().isTrusted(b.peer().address);
        return aReturning != bReturning ? bReturning : a.lastActivity() < b.lastActivity();
    };
    std::shared_ptr<OpenConnection> oldest;
    int unpaired = 0;
    for (auto it = m_openConnections.begin(); it != m_openConnections.end();) {
        const std::shared_ptr<OpenConnection> connection = it->lock();
        if (!connection) {
            it = m_openConnections.erase(it);
            continue;
        }
        ++it;
        if (m_gate.isPaired(connection->peer().identity))
            continue;
        ++unpaired;
        if (!oldest || before(*connection, *oldest))
            oldest = connection;
    }
    if (unpaired < m_unpairedConnectionLimit || !oldest)
        return;
    // Folded like the disconnect lines: a flood makes one a second, which would hide the rest.
    m_repeatedLines.line(QStringLiteral("dropping"),
                         QStringLiteral("Dropping the longest-idle unpaired connection from %1")
                             .arg(oldest->peer().address.toString()));
    m_openConnections.remove(oldest->peer().identity);
    oldest->shutdown();
}

} // namespace quillmote
