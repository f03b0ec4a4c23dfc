// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/Listener.h"

#include "server/Console.h"

namespace quillmote {

namespace {
// Out of descriptors, QTcpServer pauses accepting for good. Retrying at once would spin on
// the pending connection, so retry after a delay that grows while the shortage lasts.
constexpr int firstResumeDelayMs = 50;
constexpr int maxResumeDelayMs = 1000;
} // namespace

class Listener::TcpServer : public QTcpServer
{
public:
    explicit TcpServer(Listener* owner) : m_owner(owner) {}

protected:
    // The raw descriptor is taken as it is: connections read it directly, so that a reset by
    // the peer stays distinguishable from the end of the stream.
    void incomingConnection(qintptr descriptor) override
    {
        m_owner->m_resumeDelayMs = 0;
        Q_EMIT m_owner->newConnection(static_cast<int>(descriptor));
    }

private:
    Listener* m_owner;
};

Listener::Listener(std::unique_ptr<ServiceAdvertiser> advertiser, QString name, QString type)
    : m_tcp(std::make_unique<TcpServer>(this)), m_advertiser(std::move(advertiser)), m_name(std::move(name)),
      m_type(std::move(type))
{
    m_resumeTimer.setSingleShot(true);
    connect(&m_resumeTimer, &QTimer::timeout, this, [this] { m_tcp->resumeAccepting(); });
    connect(m_tcp.get(), &QTcpServer::acceptError, this, &Listener::onAcceptError);
    connect(m_advertiser.get(), &ServiceAdvertiser::established, this, [this](const QString&) {
        if (m_state != ListenerState::Failed && m_state != ListenerState::Cancelled)
            setState(ListenerState::Ready);
    });
    connect(m_advertiser.get(), &ServiceAdvertiser::unreachable, this, [this](const QString& reason) {
        if (m_state != ListenerState::Failed && m_state != ListenerState::Cancelled)
            setState(ListenerState::Waiting, reason);
    });
    connect(m_advertiser.get(), &ServiceAdvertiser::failed, this, [this](const QString& reason) {
        if (m_state == ListenerState::Failed || m_state == ListenerState::Cancelled)
            return;
        m_tcp->close();
        setState(ListenerState::Failed, reason);
    });
}

Listener::~Listener() = default;

quint16 Listener::port() const
{
    return m_tcp->serverPort();
}

void Listener::start()
{
    if (!m_tcp->listen(QHostAddress::Any, 0)) {
        setState(ListenerState::Failed, m_tcp->errorString());
        return;
    }
    Q_EMIT listening(m_tcp->serverPort());
    m_advertiser->advertise(m_name, m_type, m_tcp->serverPort());
}

void Listener::cancel()
{
    m_resumeTimer.stop();
    m_tcp->close();
    m_advertiser.reset();
    setState(ListenerState::Cancelled);
}

void Listener::setState(ListenerState state, const QString& error)
{
    m_state = state;
    m_error = error;
    Q_EMIT stateChanged(state, error);
}

void Listener::onAcceptError()
{
    if (m_tcp->isListening() && m_resumeTimer.isActive())
        return;
    if (m_resumeDelayMs == 0)
        console::line(QStringLiteral("Accepting paused: %1").arg(m_tcp->errorString()));
    m_resumeDelayMs = m_resumeDelayMs == 0 ? firstResumeDelayMs : std::min(m_resumeDelayMs * 2, maxResumeDelayMs);
    m_resumeTimer.start(m_resumeDelayMs);
}

} // namespace quillmote
