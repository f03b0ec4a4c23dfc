// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "web/WebRemote.h"

#include "input/InputAccess.h"
#include "protocol/CommandDispatcher.h"
#include "server/DeviceApproval.h"
#include "server/HostAddresses.h"
#include "server/PairingGate.h"
#include "server/Peer.h"
#include "server/PortHolder.h"
#include "server/RemoteServer.h"
#include "util/Console.h"
#include "util/Log.h"
#include "util/Settings.h"
#include "web/HttpRequest.h"
#include "web/SecureChannel.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMetaEnum>
#include <QNetworkRequest>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

namespace quillmote::web {

namespace {
using Clock = std::chrono::steady_clock;

// IPv4 peers of the dual-stack socket arrive as ::ffff:a.b.c.d: they are throttled and shown as
// IPv4, as on the TCP listener.
QHostAddress plainAddress(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

QByteArray contentType(const QByteArray& path)
{
    if (path == "/" || path.endsWith(".html"))
        return "text/html; charset=utf-8";
    if (path.endsWith(".css"))
        return "text/css; charset=utf-8";
    if (path.endsWith(".js"))
        return "text/javascript; charset=utf-8";
    if (path.endsWith(".svg"))
        return "image/svg+xml";
    if (path.endsWith(".webmanifest"))
        return "application/manifest+json";
    return "application/octet-stream";
}

QString resourceOf(const QByteArray& path)
{
    return QStringLiteral(":/web") +
           (path == "/" ? QStringLiteral("/index.html") : QString::fromLatin1(path));
}

void deleteLaterDeleter(QObject* object)
{
    object->deleteLater();
}
} // namespace

// A connection still in its HTTP request: counted with the unpaired ones until it is answered
// or handed on as a WebSocket.
class HttpExchange : public OpenConnection
{
public:
    explicit HttpExchange(QTcpSocket* socket)
        : m_peer{nextConnectionIdentity(), plainAddress(socket->peerAddress())}, m_socket(socket),
          m_accepted(Clock::now())
    {
        // A head not finished in time is not waited for: the connection is closed.
        m_deadline.setSingleShot(true);
        QObject::connect(&m_deadline, &QTimer::timeout, socket, [socket] { socket->abort(); });
        m_deadline.start(WebRemote::headTimeoutMs);
    }
    // Once answered nothing more is read; the deadline still closes a peer that does not take
    // the answer. Handed on as a WebSocket, the handshake's own timeout takes over.
    bool isDone() const { return m_done; }
    void finish(bool handedOn)
    {
        m_done = true;
        if (handedOn)
            m_deadline.stop();
    }
    const Peer& peer() const override { return m_peer; }
    Clock::time_point lastActivity() const override { return m_accepted; }
    void shutdown() override
    {
        if (m_socket)
            m_socket->abort();
    }
    QTcpSocket* socket() const { return m_socket; }

private:
    Peer m_peer;
    QPointer<QTcpSocket> m_socket;
    Clock::time_point m_accepted;
    QTimer m_deadline;
    bool m_done = false;
};

// "Firefox on Android": what the user is asked about, made of known words only, so that a
// crafted User-Agent cannot put text of its own in front of the user.
QString browserName(QByteArrayView userAgent)
{
    const auto has = [userAgent](const char* word) { return userAgent.contains(QByteArrayView(word)); };
    const char* browser = has("Firefox/") || has("FxiOS/")    ? "Firefox"
                          : has("SamsungBrowser/")            ? "Samsung Internet"
                          : has("Edg/") || has("EdgA/")       ? "Edge"
                          : has("Chrome/") || has("CriOS/")   ? "Chrome"
                          : has("Safari/") && has("Version/") ? "Safari"
                                                              : "A browser";
    const char* system = has("Android")               ? "Android"
                         : has("iPhone")              ? "iPhone"
                         : has("iPad")                ? "iPad"
                         : has("CrOS")                ? "ChromeOS"
                         : has("Windows")             ? "Windows"
                         : has("Macintosh")           ? "macOS"
                         : has("Linux") || has("X11") ? "Linux"
                                                      : nullptr;
    return system ? QStringLiteral("%1 on %2").arg(QLatin1String(browser), QLatin1String(system))
                  : QLatin1String(browser);
}

// One WebSocket of a page.
class WebSession : public OpenConnection
{
public:
    WebSession(QWebSocket* socket, QByteArray challenge)
        : m_peer{nextConnectionIdentity(), plainAddress(socket->peerAddress()),
                 browserName(socket->request().rawHeader("User-Agent"))},
          m_socket(socket, &deleteLaterDeleter), m_challenge(std::move(challenge)),
          m_lastActivity(Clock::now())
    {
    }
    const Peer& peer() const override { return m_peer; }
    Clock::time_point lastActivity() const override { return m_lastActivity; }
    void shutdown() override { m_socket->abort(); }

    QWebSocket& socket() { return *m_socket; }
    const QByteArray& challenge() const { return m_challenge; }
    void touch() { m_lastActivity = Clock::now(); }
    // Sealed once the page paired with a key; in clear for a page paired with the code.
    void send(const QString& text)
    {
        if (m_socket->bytesToWrite() > WebRemote::maxUnsentBytes) {
            m_socket->abort();
            return;
        }
        if (m_channel)
            m_socket->sendBinaryMessage(m_channel->seal(text.toUtf8()));
        else
            m_socket->sendTextMessage(text);
    }
    SecureChannel* channel() { return m_channel.get(); }
    void secure(std::unique_ptr<SecureChannel> channel) { m_channel = std::move(channel); }
    QString deviceId;
    bool toldInput = false;
    QTimer& pings() { return m_pings; }

private:
    Peer m_peer;
    std::unique_ptr<QWebSocket, void (*)(QObject*)> m_socket;
    QByteArray m_challenge;
    Clock::time_point m_lastActivity;
    QTimer m_pings;
    std::unique_ptr<SecureChannel> m_channel;
};

WebRemote::WebRemote(Dependencies dependencies)
    : m_server(dependencies.server), m_gate(dependencies.gate), m_dispatcher(dependencies.dispatcher),
      m_approval(dependencies.approval), m_access(dependencies.access), m_settings(dependencies.settings),
      m_addresses(dependencies.addresses), m_port(dependencies.port), m_enabled(dependencies.enabled),
      m_secret(m_settings), m_upgrader(QStringLiteral("Quillmote"), QWebSocketServer::NonSecureMode)
{
    m_files << "/";
    for (QDirIterator it(QStringLiteral(":/web"), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        m_files << it.next().mid(QStringLiteral(":/web").size()).toLatin1();
    m_upgrader.setHandshakeTimeout(headTimeoutMs);
    connect(&m_listener, &QTcpServer::newConnection, this, &WebRemote::acceptPending);
    m_resumeTimer.setSingleShot(true);
    connect(&m_resumeTimer, &QTimer::timeout, &m_listener, &QTcpServer::resumeAccepting);
    connect(&m_listener, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError error) {
        if (!m_resumeDelay.active())
            console::line(QStringLiteral("Browser remote: accepting paused (%1)")
                              .arg(error == QAbstractSocket::SocketResourceError
                                       ? QStringLiteral("out of file descriptors or memory")
                                       : QStringLiteral("accept failed")));
        m_resumeTimer.start(m_resumeDelay.next());
    });
    connect(&m_upgrader, &QWebSocketServer::newConnection, this, &WebRemote::acceptWebSocket);
    connect(&m_addresses, &host::HostAddresses::changed, this, [this] {
        if (isListening() && link() != m_announcedLink)
            announceLink();
    });
    if (m_access) {
        connect(m_access, &input::InputAccess::accessChanged, this, [this] {
            for (const std::shared_ptr<WebSession>& session : std::as_const(m_sessions)) {
                if (session->toldInput)
                    tellInput(*session);
            }
        });
    }
    // Drawn and stored at start-up, with the other settings, rather than at some later moment
    // while the server is already running.
    if (m_enabled)
        m_secret.secret();
}

WebRemote::~WebRemote()
{
    stop();
}

QString WebRemote::link()
{
    if (!isListening())
        return {};
    return QStringLiteral("http://%1:%2/#k=%3")
        .arg(m_addresses.linkAddress())
        .arg(port())
        .arg(m_secret.text());
}

void WebRemote::start()
{
    if (!m_enabled || isListening())
        return;
    m_secret.secret(); // drawn and stored before anyone is shown a link
    bool bound = m_listener.listen(QHostAddress::Any, m_port.port);
    if (!bound && m_port.port != 0 && m_port.fallBackWhenTaken &&
        m_listener.serverError() == QAbstractSocket::AddressInUseError) {
        console::line(
            QStringLiteral("Port %1 is in use; the browser remote listens on a port the system chooses")
                .arg(m_port.port));
        // A phone's saved page at the usual port runs the holder's page in the link's origin,
        // which can read the stored secret: that secret must be worthless from now on.
        if (const PortHolder holder = PortHolder::of(m_port.port); holder.mayBeAnotherUser()) {
            m_secret.replace();
            console::line(
                QStringLiteral("Port %1 is held by %2: the browser remote has a new link, so that the old "
                               "one is of no use")
                    .arg(m_port.port)
                    .arg(holder.describe()));
        }
        bound = m_listener.listen(QHostAddress::Any, 0);
    }
    if (!bound) {
        console::line(QStringLiteral("Browser remote failed: ") + m_listener.errorString());
        return;
    }
    Q_EMIT listening(port());
    announceLink();
}

void WebRemote::stop()
{
    const bool wasListening = isListening();
    m_listener.close();
    const auto exchanges = std::exchange(m_exchanges, {});
    for (const std::shared_ptr<HttpExchange>& exchange : exchanges)
        exchange->shutdown();
    const QList<quint64> sessions = m_sessions.keys();
    for (const quint64 identity : sessions)
        endSession(identity);
    if (wasListening)
        announceLink();
}

void WebRemote::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    saveEnabled();
    if (enabled)
        start();
    else
        stop();
}

void WebRemote::saveEnabled()
{
    // The switch still takes effect for this run.
    if (m_settings.write(Settings::Key::WebRemote, m_enabled) != Settings::Saved::Saved)
        console::line(QStringLiteral("Could not save the settings file ") + m_settings.path());
}

void WebRemote::newLink()
{
    m_secret.replace();
    if (m_approval)
        m_approval->devices().removeBrowsers();
    announceLink();
}

void WebRemote::announceLink()
{
    m_announcedLink = link();
    Q_EMIT linkChanged(m_announcedLink);
}

void WebRemote::acceptPending()
{
    while (QTcpSocket* socket = m_listener.nextPendingConnection()) {
        m_resumeDelay.reset();
        // As on the phone app's connections: a reply is not held back waiting for an earlier one's ACK.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto exchange = std::make_shared<HttpExchange>(socket);
        const quint64 identity = exchange->peer().identity;
        // A head that does not fit must not grow the buffer; one byte more tells it did not fit.
        socket->setReadBufferSize(maxHeadBytes + 1);
        m_exchanges.insert(identity, exchange);
        m_server.admit(exchange);
        connect(socket, &QTcpSocket::readyRead, socket, [this, exchange] { readHead(exchange); });
        connect(socket, &QTcpSocket::disconnected, socket, [this, socket, identity] {
            m_exchanges.remove(identity);
            socket->deleteLater();
        });
    }
}

void WebRemote::readHead(std::shared_ptr<HttpExchange> exchange)
{
    QTcpSocket* socket = exchange->socket();
    if (!socket || exchange->isDone())
        return;
    const QByteArray buffered = socket->peek(maxHeadBytes + 1);
    const qsizetype end = buffered.indexOf("\r\n\r\n");
    if (end < 0 || end + 4 > maxHeadBytes) {
        if (buffered.size() > maxHeadBytes || (end >= 0 && end + 4 > maxHeadBytes))
            socket->abort();
        return;
    }
    const quint64 identity = exchange->peer().identity;
    const std::optional<RequestHead> head = parseHead(QByteArrayView(buffered).first(end + 4));
    // The address the browser reached is this computer's even when the interfaces cannot be read
    // (out of descriptors, say).
    QStringList names = m_addresses.hostNames();
    QHostAddress reached = plainAddress(socket->localAddress());
    reached.setScopeId({});
    names << reached.toString().toLower();
    const Verdict verdict =
        head ? checkRequest(*head, names, port(), m_files) : Verdict{Verdict::Kind::Refuse, 400, {}, {}};
    exchange->finish(verdict.kind == Verdict::Kind::Upgrade);
    if (verdict.kind == Verdict::Kind::Upgrade) {
        // The head stays in the socket's buffer for the WebSocket handshake to read.
        socket->disconnect(socket);
        socket->setReadBufferSize(0);
        m_exchanges.remove(identity);
        m_upgrader.handleConnection(socket);
        return;
    }
    socket->read(end + 4);
    qCDebug(lcWeb) << identity << (head ? head->method + ' ' + head->target : QByteArray("(no head)")) << "->"
                   << verdict.status;
    QByteArray body;
    if (verdict.kind == Verdict::Kind::File) {
        QFile file(resourceOf(verdict.path));
        if (file.open(QIODevice::ReadOnly))
            body = file.readAll();
    } else {
        body = QByteArray::number(verdict.status) + '\n';
    }
    socket->write(response(verdict.status, verdict.host,
                           verdict.kind == Verdict::Kind::File ? contentType(verdict.path)
                                                               : QByteArray("text/plain; charset=utf-8"),
                           body));
    socket->disconnectFromHost();
}

void WebRemote::acceptWebSocket()
{
    while (QWebSocket* socket = m_upgrader.nextPendingConnection()) {
        socket->setParent(nullptr);
        // A handshake that finished after the browser remote was turned off is not let in.
        if (!isListening()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(maxMessageBytes);
        socket->setMaxAllowedIncomingFrameSize(maxMessageBytes);
        const QByteArray challenge = LinkSecret::draw().toHex();
        auto session = std::make_shared<WebSession>(socket, challenge);
        const quint64 identity = session->peer().identity;
        WebSession* raw = session.get();
        qCDebug(lcWeb) << identity << "WebSocket from" << session->peer().address;
        m_sessions.insert(identity, session);
        m_server.admit(session);
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, identity](const QString& message) { handleMessage(identity, message); });
        connect(socket, &QWebSocket::binaryMessageReceived, this,
                [this, identity](const QByteArray& sealed) { handleSealed(identity, sealed); });
        connect(socket, &QWebSocket::pong, this, [raw] { raw->touch(); });
        connect(socket, &QWebSocket::disconnected, this, [this, identity] { endSession(identity); });
        raw->pings().setInterval(pingIntervalMs);
        connect(&raw->pings(), &QTimer::timeout, this, [raw] {
            // A phone that went out of range or to sleep answers nothing: its buttons must not stay held.
            if (Clock::now() - raw->lastActivity() >= std::chrono::milliseconds(silenceLimitMs))
                raw->socket().abort();
            else
                raw->socket().ping();
        });
        raw->pings().start();
        raw->send(QStringLiteral("CHALLENGE:") + QString::fromLatin1(challenge));
    }
}

void WebRemote::handleMessage(quint64 identity, const QString& message)
{
    const std::shared_ptr<WebSession> held = m_sessions.value(identity);
    if (!held)
        return;
    // Once sealed, always sealed: a message in clear is not the page's.
    if (held->channel()) {
        held->socket().close(QWebSocketProtocol::CloseCodePolicyViolated);
        return;
    }
    handleCommand(*held, message);
}

void WebRemote::handleSealed(quint64 identity, const QByteArray& sealed)
{
    const std::shared_ptr<WebSession> held = m_sessions.value(identity);
    if (!held)
        return;
    if (!held->channel()) {
        held->socket().close(QWebSocketProtocol::CloseCodeDatatypeNotSupported);
        return;
    }
    // Altered, replayed, reordered or dropped on the way: the channel cannot be trusted any more.
    const std::optional<QByteArray> opened = held->channel()->open(sealed);
    if (!opened) {
        qCDebug(lcWeb) << identity << "a sealed message did not open";
        held->socket().close(QWebSocketProtocol::CloseCodePolicyViolated);
        return;
    }
    handleCommand(*held, QString::fromUtf8(*opened));
}

void WebRemote::handleCommand(WebSession& session, const QString& message)
{
    session.touch();
    constexpr QLatin1StringView auth("AUTH:");
    if (message == QLatin1String("PING")) {
        session.send(QStringLiteral("PONG"));
        return;
    }
    if (message.startsWith(auth)) {
        if (!session.channel())
            authenticate(session, QStringView(message).mid(auth.size()));
        return;
    }
    const quint64 identity = session.peer().identity;
    CommandDispatcher::Deferral deferral{
        [this, identity](const QString& later) {
            if (const std::shared_ptr<WebSession> waiting = m_sessions.value(identity))
                reply(*waiting, later);
        },
    };
    QString reply = m_dispatcher.dispatchCommand(session.peer(), message, &deferral);
    // The page tells its user to answer on the computer; the phone app has no such word.
    if (deferral.deferred)
        reply = QStringLiteral("PAIR_PENDING");
    // The session may have ended while the command ran (a search spins the event loop).
    if (!reply.isEmpty() && m_sessions.contains(identity))
        this->reply(session, reply);
}

void WebRemote::reply(WebSession& session, const QString& message)
{
    session.send(message);
    if (message.startsWith(QLatin1String("PAIR_SUCCESS|")))
        tellInput(session);
}

void WebRemote::tellInput(WebSession& session)
{
    if (!m_access)
        return;
    // The page says when nothing it sends can reach the desktop; the phone app's replies stay as they are.
    session.toldInput = true;
    const char* state = QMetaEnum::fromType<input::InputAccess::State>().valueToKey(int(m_access->state()));
    session.send(QStringLiteral("INPUT:") + QString::fromLatin1(state).toUpper());
}

void WebRemote::authenticate(WebSession& session, QStringView answer)
{
    // ANSWER|NONCE with the link's secret, ANSWER|NONCE|DEVICE with a browser's own key: the
    // answer is the challenge's HMAC under that key, the nonce the page's half of the channel.
    const QList<QStringView> parts = answer.split(u'|');
    const QByteArray nonce = parts.size() >= 2 ? QByteArray::fromHex(parts[1].toLatin1()) : QByteArray();
    QString deviceId;
    QByteArray key;
    if (parts.size() == 3 && m_approval) {
        deviceId = parts[2].toString();
        if (const Device* device = m_approval->devices().find(deviceId))
            key = device->key;
    } else if (parts.size() == 2) {
        key = m_secret.secret();
    }
    bool throttled = false;
    const bool paired = m_gate.pairWithProof(
        session.peer().identity, session.peer().address,
        [&] {
            return !key.isEmpty() && nonce.size() == SecureChannel::clientNonceBytes &&
                   LinkSecret::answers(key, session.challenge(), parts[0].toLatin1());
        },
        &throttled);
    if (!paired) {
        // Refused for now is not a wrong key: the page keeps it and tries again later.
        session.send(throttled ? QStringLiteral("PAIR_THROTTLED") : QStringLiteral("PAIR_FAILED"));
        return;
    }
    session.secure(std::make_unique<SecureChannel>(key, session.challenge(), nonce));
    // The first sealed message: the page knows the server holds the key too.
    session.send(CommandDispatcher::pairedReply(m_server.linkLayerAddress()));
    if (!m_approval) {
        tellInput(session);
        return;
    }
    KnownDevices& devices = m_approval->devices();
    if (deviceId.isEmpty()) {
        // A key of its own, so that the link (in the browser's history, say) is needed only once.
        const QByteArray deviceKey = LinkSecret::draw() + LinkSecret::draw();
        deviceId = devices.addBrowser(session.peer().name, session.peer().address, deviceKey);
        session.send(
            QStringLiteral("DEVICE:%1|%2")
                .arg(deviceId, QString::fromLatin1(deviceKey.toBase64(QByteArray::Base64UrlEncoding |
                                                                      QByteArray::OmitTrailingEquals))));
    } else {
        devices.seen(deviceId, session.peer().address);
    }
    session.deviceId = deviceId;
    m_approval->admitted(session.peer().identity, deviceId);
    tellInput(session);
}

void WebRemote::endSession(quint64 identity)
{
    const std::shared_ptr<WebSession> session = m_sessions.take(identity);
    if (!session)
        return;
    qCDebug(lcWeb) << identity << "WebSocket ended";
    session->pings().stop();
    session->socket().disconnect(this);
    session->socket().abort();
    m_repeatedLines.line(QStringLiteral("连接断开"));
    m_dispatcher.connectionEnded(session->peer());
    // Often called from one of the session's own signals: it goes on the next turn of the loop.
    const auto keep = [session] {};
    QMetaObject::invokeMethod(this, keep, Qt::QueuedConnection);
}

} // namespace quillmote::web
