// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/Listener.h"
#include "util/Backoff.h"
#include "util/Console.h"
#include "web/LinkSecret.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <QWebSocketServer>

#include <memory>

namespace quillmote {

class CommandDispatcher;
class DeviceApproval;
class PairingGate;
class RemoteServer;
class Settings;
namespace input {
class InputAccess;
}
namespace host {
class HostAddresses;
}

namespace web {

class HttpExchange;
class WebSession;

// The browser remote: the page's files and a WebSocket at /ws on a port of its own. Each
// WebSocket message is one command for the same dispatcher as the TCP connections, answered by
// one message (none for an empty reply); a WebSocket pairs with the code, or by answering the
// challenge it is sent with the link's secret. HTTP stays here: the server and the dispatcher
// see only connections and commands.
class WebRemote : public QObject
{
    Q_OBJECT
public:
    // The port the browser remote prefers, next to the phone app's.
    static constexpr quint16 defaultPort = QUILLMOTE_DEFAULT_WEB_PORT;
    static constexpr qsizetype maxMessageBytes = 64 * 1024;
    static constexpr int headTimeoutMs = 10'000;
    static constexpr int pingIntervalMs = 2'000;
    static constexpr int silenceLimitMs = 6'000;
    // Replies a peer does not read are not kept beyond this.
    static constexpr qint64 maxUnsentBytes = 1024 * 1024;

    struct Dependencies
    {
        RemoteServer& server;
        PairingGate& gate;
        CommandDispatcher& dispatcher;
        const Settings& settings;
        // Where the link points; it follows them while they are watched.
        host::HostAddresses& addresses;
        PortChoice port = {defaultPort, true};
        // Off: nothing listens until setEnabled(true).
        bool enabled = true;
        // Where browsers that pair with the link get keys of their own; without it they keep
        // pairing with the link.
        DeviceApproval* approval = nullptr;
        // Whether input reaches the desktop: paired pages are told ("INPUT:GRANTED", "INPUT:AWAITING",
        // "INPUT:REFUSED", "INPUT:LOCKED", "INPUT:SHIELDED", "INPUT:LOCKEDOUT", "INPUT:UNAVAILABLE") at once
        // and on every change.
        const input::InputAccess* access = nullptr;
    };

    explicit WebRemote(Dependencies dependencies);
    ~WebRemote() override;

    bool isEnabled() const { return m_enabled; }
    bool isListening() const { return m_listener.isListening(); }
    quint16 port() const { return m_listener.isListening() ? m_listener.serverPort() : 0; }
    // http://ADDRESS:PORT/#k=SECRET while listening, else empty.
    QString link();

    // Listens, when enabled and not listening yet.
    void start();
    // Turns the browser remote on or off, and keeps the choice in the settings (WebRemote=).
    void setEnabled(bool enabled);
    // Draws a new secret and removes every browser that paired with the old one: their pages
    // are closed at once and must scan the new link.
    void newLink();

Q_SIGNALS:
    void listening(quint16 port);
    // The link changed: listening started or stopped, a new secret was drawn, or the address
    // it names.
    void linkChanged(const QString& link);

private:
    void stop();
    void acceptPending();
    void readHead(std::shared_ptr<HttpExchange> exchange);
    void acceptWebSocket();
    void handleMessage(quint64 identity, const QString& message);
    void handleSealed(quint64 identity, const QByteArray& sealed);
    void handleCommand(WebSession& session, const QString& message);
    // Sends a reply; one that pairs is followed by whether input reaches the desktop.
    void reply(WebSession& session, const QString& message);
    void tellInput(WebSession& session);
    void authenticate(WebSession& session, QStringView answer);
    void endSession(quint64 identity);
    void saveEnabled();
    void announceLink();

    RemoteServer& m_server;
    PairingGate& m_gate;
    CommandDispatcher& m_dispatcher;
    DeviceApproval* m_approval;
    const input::InputAccess* m_access;
    const Settings& m_settings;
    host::HostAddresses& m_addresses;
    PortChoice m_port;
    bool m_enabled;
    LinkSecret m_secret;
    QString m_announcedLink;
    QTcpServer m_listener;
    // Out of descriptors, QTcpServer stops accepting for good: it resumes after a delay instead.
    QTimer m_resumeTimer;
    Backoff m_resumeDelay{50, 1000};
    QWebSocketServer m_upgrader;
    QList<QByteArray> m_files;
    QHash<quint64, std::shared_ptr<HttpExchange>> m_exchanges;
    QHash<quint64, std::shared_ptr<WebSession>> m_sessions;
    console::RepeatedLines m_repeatedLines;
};

} // namespace web
} // namespace quillmote
