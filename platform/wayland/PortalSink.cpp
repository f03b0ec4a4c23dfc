// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/wayland/PortalSink.h"

#include "input/KeyTable.h"
#include "util/Console.h"
#include "util/Log.h"
#include "util/Overloaded.h"
#include "util/Settings.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QTimer>

#include <fcntl.h>

namespace quillmote::wayland {

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr uint keyboardAndPointer = 1 | 2;
// The portal remembers the grant and hands out a token to restore it without asking.
constexpr uint persistUntilRevoked = 2;
constexpr int callTimeoutMs = 3000;
// KDE's smooth axis counts 10 per wheel notch, as libinput's legacy wheel values do. KWin passes
// it on as a bare axis value, without a wheel source: Qt and Firefox take 10 as one notch, as on
// GNOME, but GTK 4 takes it as touchpad pixels (25 px, a third of its notch on GNOME). All three
// get the same event, so a larger value would scroll Qt and Firefox too far by as much.
constexpr int smoothPerNotch = 10;

// KDE's portal takes scroll steps differently: known from the desktop's name or, failing that,
// from its portal backend on the bus.
void probeScrollStyle(const QDBusConnection& bus, const Desktop& desktop, QObject* context,
                      std::function<void(ScrollStyle)> done)
{
    if (desktop.isKde) {
        done(ScrollStyle::InvertedSmooth);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << QStringLiteral("org.freedesktop.impl.portal.desktop.kde");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, callTimeoutMs), context);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, context, [done](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusReply<bool> kde = *finished;
            done(kde.isValid() && kde.value() ? ScrollStyle::InvertedSmooth : ScrollStyle::Discrete);
        });
}
// Whether the portal has ConnectToEIS (version 2 on, where its frontend knows the call).
void probeConnectToEis(const QDBusConnection& bus, uint version, QObject* context,
                       std::function<void(bool)> done)
{
    if (version < 2) {
        done(false);
        return;
    }
    const QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, callTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [done](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         const QDBusReply<QString> xml = *finished;
                         done(xml.isValid() && xml.value().contains(QLatin1String("\"ConnectToEIS\"")));
                     });
}
} // namespace

void probeRemoteDesktopPortal(const QDBusConnection& bus, const Desktop& desktop, QObject* context,
                              std::function<void(std::optional<PortalOffer>, const QString&)> done)
{
    if (!bus.isConnected()) {
        done(std::nullopt, QStringLiteral("no session bus"));
        return;
    }
    // The device types and the version in one round trip.
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath,
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("GetAll"));
    call << remoteDesktop;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, callTimeoutMs), context);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, context,
        [bus, desktop, context, done](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusMessage reply = finished->reply();
            if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                done(std::nullopt, QStringLiteral("the session bus offers no RemoteDesktop portal (%1)")
                                       .arg(reply.errorMessage().isEmpty() ? QStringLiteral("no answer")
                                                                           : reply.errorMessage()));
                return;
            }
            const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
            if ((properties.value(QStringLiteral("AvailableDeviceTypes")).toUInt() & keyboardAndPointer) !=
                keyboardAndPointer) {
                done(std::nullopt, QStringLiteral("the RemoteDesktop portal offers no keyboard and pointer"));
                return;
            }
            const uint version = properties.value(QStringLiteral("version")).toUInt();
            const auto offered = [bus, context, done, version](ScrollStyle scroll) {
                const auto withEis = [done, version, scroll](bool eis) {
                    done(PortalOffer{version, scroll, eis}, {});
                };
                probeConnectToEis(bus, version, context, withEis);
            };
            probeScrollStyle(bus, desktop, context, offered);
        });
}

PortalSink::PortalSink(QDBusConnection bus, PortalOffer offer, const Settings& settings,
                       input::InputAccess& access, EisConnector connector,
                       std::shared_ptr<LearnedLayout> layout)
    : m_bus(std::move(bus)), m_scroll(offer.scroll), m_settings(settings), m_version(offer.version),
      m_access(access), m_connector(std::move(connector)),
      m_layout(layout ? std::move(layout) : std::make_shared<LearnedLayout>())
{
    m_eisWait.setSingleShot(true);
    m_eisWait.setInterval(eisWaitMs);
    connect(&m_eisWait, &QTimer::timeout, this,
            [this] { stopHolding(QStringLiteral("its devices did not come in time")); });
    m_closedBeforeShield.setSingleShot(true);
    m_closedBeforeShield.setInterval(shieldAfterCloseMs);
    connect(&m_closedBeforeShield, &QTimer::timeout, this, &PortalSink::closedUnshielded);
    m_shieldUnconfirmed.setSingleShot(true);
    m_shieldUnconfirmed.setInterval(shieldUnconfirmedMs);
    connect(&m_shieldUnconfirmed, &QTimer::timeout, this,
            [this] { shieldGone(QStringLiteral("The desktop never said its screen shield came up")); });
    m_access.setRequester([this] { requestAccess(); });
    // Only the signals: asking would start the desktop's service where nothing runs it yet.
    for (const QString& service :
         {QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver")})
        m_bus.connect({}, {}, service, QStringLiteral("ActiveChanged"), this, SLOT(onShieldChanged(bool)));
    requestAccess();
}

PortalSink::~PortalSink()
{
    m_access.setRequester({});
    stopListening();
    closeSession();
}

void PortalSink::setState(State state)
{
    m_state = state;
    using Access = input::InputAccess::State;
    switch (state) {
    case State::Granted:
        m_access.setState(Access::Granted);
        break;
    case State::Refused:
        m_access.setState(m_shieldUp && m_askWhenUnshielded ? Access::Locked : Access::Refused);
        break;
    case State::Idle:
        m_access.setState(Access::Unavailable);
        break;
    case State::CreatingSession:
    case State::SelectingDevices:
    case State::Starting:
        m_access.setState(Access::Awaiting);
        break;
    }
}

void PortalSink::requestAccess()
{
    const bool awaiting =
        m_state == State::CreatingSession || m_state == State::SelectingDevices || m_state == State::Starting;
    if (m_state == State::Granted ||
        (awaiting && m_lastRequest.isValid() && !m_lastRequest.hasExpired(requestTimeoutMs)))
        return;
    if (m_closedBeforeShield.isActive())
        closedUnshielded(); // in order, before the ask
    stopListening();
    closeSession();
    m_lastRequest.start();
    console::line(QStringLiteral("Asking the desktop to allow remote input"));
    setState(State::CreatingSession);
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"),
                   QStringLiteral("quillmote%1").arg(++m_tokenCounter));
    request(QStringLiteral("CreateSession"), {}, options);
}

void PortalSink::request(const QString& method, const QVariantList& arguments, QVariantMap options)
{
    // The answer comes as a signal on a request object whose path follows from our name and
    // the token; listening before the call keeps a fast answer from being missed.
    const QString token = QStringLiteral("quillmote%1").arg(++m_tokenCounter);
    options.insert(QStringLiteral("handle_token"), token);
    QString sender = m_bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    stopListening();
    m_requestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    m_bus.connect(portalService, m_requestPath, QStringLiteral("org.freedesktop.portal.Request"),
                  QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, remoteDesktop, method);
    call.setArguments(QVariantList(arguments) << options);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, method, state = m_state](auto* finished) {
                finished->deleteLater();
                if (finished->isError() && m_state == state)
                    fail(QStringLiteral("%1 failed: %2").arg(method, finished->error().message()));
            });
}

void PortalSink::stopListening()
{
    if (m_requestPath.isEmpty())
        return;
    m_bus.disconnect(portalService, m_requestPath, QStringLiteral("org.freedesktop.portal.Request"),
                     QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    m_requestPath.clear();
}

void PortalSink::closeSession()
{
    m_eis.reset();
    m_eisWait.stop();
    m_holding = false;
    m_held.clear();
    m_queue.clear();
    notifySent();
    if (m_sessionPath.isEmpty())
        return;
    m_bus.disconnect(portalService, m_sessionPath, QStringLiteral("org.freedesktop.portal.Session"),
                     QStringLiteral("Closed"), this, SLOT(onSessionClosed()));
    m_bus.send(QDBusMessage::createMethodCall(portalService, m_sessionPath,
                                              QStringLiteral("org.freedesktop.portal.Session"),
                                              QStringLiteral("Close")));
    m_sessionPath.clear();
}

void PortalSink::fail(const QString& why, bool userRefused)
{
    console::line(QStringLiteral("The desktop does not allow remote input: ") + why);
    stopListening();
    closeSession();
    m_askWhenUnshielded = !userRefused;
    m_askAgainAfter = userRefused ? askAgainAfterMs : m_retry.next();
    setState(State::Refused);
}

void PortalSink::closedUnshielded()
{
    // The user ended it: a later shield gives no reason to ask again, nor to go on through uinput.
    m_askWhenUnshielded = false;
    m_closedBeforeShield.stop();
    console::line(QStringLiteral(
        "The desktop closed the remote input session; it is asked for again on the next input"));
}

void PortalSink::closedAtShield()
{
    m_askAgainAfter = m_retry.next();
    console::line(
        QStringLiteral("The desktop closed the remote input session at its screen shield; it is asked for "
                       "again once the screen is back"));
}

void PortalSink::onShieldChanged(bool active)
{
    m_shieldUnconfirmed.stop();
    if (active == m_shieldUp)
        return;
    if (!active) {
        shieldGone(QStringLiteral("The screen shield went down"));
        return;
    }
    m_shieldUp = true;
    if (m_state != State::Refused || !m_askWhenUnshielded)
        return;
    if (m_closedBeforeShield.isActive()) {
        m_closedBeforeShield.stop();
        closedAtShield();
    }
    setState(State::Refused);
}

void PortalSink::shieldGone(const QString& line)
{
    m_shieldUp = false;
    if (m_state != State::Refused || !m_askWhenUnshielded)
        return;
    console::line(line);
    m_retry.reset();
    requestAccess();
}

void PortalSink::onResponse(uint response, const QVariantMap& results)
{
    stopListening();
    if (response != 0) {
        // 1: the user said no; 2: ended otherwise (GNOME's shield: "Session creation inhibited").
        fail(response == 1 ? QStringLiteral("the request was refused")
                           : QStringLiteral("the request was cancelled"),
             response == 1);
        return;
    }
    switch (m_state) {
    case State::CreatingSession: {
        m_sessionPath = results.value(QStringLiteral("session_handle")).toString();
        if (m_sessionPath.isEmpty()) {
            fail(QStringLiteral("the portal gave no session"));
            return;
        }
        m_bus.connect(portalService, m_sessionPath, QStringLiteral("org.freedesktop.portal.Session"),
                      QStringLiteral("Closed"), this, SLOT(onSessionClosed()));
        setState(State::SelectingDevices);
        QVariantMap options;
        options.insert(QStringLiteral("types"), keyboardAndPointer);
        if (m_version >= 2) {
            options.insert(QStringLiteral("persist_mode"), persistUntilRevoked);
            if (const QString token = m_settings.text(Settings::Key::PortalRestoreToken).value_or(QString());
                !token.isEmpty())
                options.insert(QStringLiteral("restore_token"), token);
        }
        request(QStringLiteral("SelectDevices"), {QVariant::fromValue(QDBusObjectPath(m_sessionPath))},
                options);
        break;
    }
    case State::SelectingDevices:
        setState(State::Starting);
        request(QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(m_sessionPath)), QString()},
                {});
        break;
    case State::Starting: {
        const uint devices = results.value(QStringLiteral("devices")).toUInt();
        if ((devices & keyboardAndPointer) != keyboardAndPointer) {
            fail(QStringLiteral("keyboard and pointer were not both allowed"), true);
            return;
        }
        // Each grant brings a new token; the old one is spent.
        if (const QString token = results.value(QStringLiteral("restore_token")).toString();
            !token.isEmpty() &&
            m_settings.write(Settings::Key::PortalRestoreToken, token) != Settings::Saved::Saved)
            console::line(
                QStringLiteral("Cannot save the portal's restore token in %1").arg(m_settings.path()));
        console::line(QStringLiteral("The desktop allows remote input"));
        m_retry.reset();
        m_askWhenUnshielded = false;
        setState(State::Granted);
        if (m_connector) {
            connectToEis(); // holds what waited until libei's devices are there
        } else {
            routeHeld();
        }
        break;
    }
    default:
        break;
    }
}

void PortalSink::onSessionClosed()
{
    m_eis.reset();
    m_eisWait.stop();
    m_holding = false;
    m_held.clear();
    m_sessionPath.clear();
    m_queue.clear();
    notifySent();
    stopListening();
    // At the shield, GNOME ends every session and refuses new ones until it goes down; else
    // the user ended it (KDE's tray), and is not asked again for a minute.
    m_askWhenUnshielded = true;
    m_askAgainAfter = askAgainAfterMs;
    if (!m_shieldUp && m_shieldComing.isValid() && !m_shieldComing.hasExpired(shieldComingMs)) {
        // GNOME says its shield is up only once it is drawn: seconds later where it draws in software.
        m_shieldUp = true;
        m_shieldUnconfirmed.start();
    }
    m_shieldComing.invalidate();
    if (m_shieldUp)
        closedAtShield();
    else
        m_closedBeforeShield.start();
    setState(State::Refused);
}

void PortalSink::connectToEis()
{
    // Input waits for libei's devices rather than racing them through the portal's own ones.
    m_holding = true;
    m_eisWait.start();
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, remoteDesktop,
                                                       QStringLiteral("ConnectToEIS"));
    call.setArguments({QVariant::fromValue(QDBusObjectPath(m_sessionPath)), QVariantMap()});
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, session = m_sessionPath](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (session != m_sessionPath || m_state != State::Granted)
                    return; // a session closed meanwhile
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
                QString why;
                if (reply.isError())
                    why = reply.error().message();
                else if (UniqueFd fd(fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0)); !fd)
                    why = QStringLiteral("no descriptor came");
                else
                    m_eis = m_connector(
                        std::move(fd), m_layout,
                        {[this] { stopHolding({}); }, [this](const QString& lost) { onEisLost(lost); }},
                        &why);
                if (!m_eis)
                    stopHolding(why);
            });
}

void PortalSink::onEisLost(const QString& why)
{
    console::line(
        QStringLiteral("The libei connection ended (%1); input goes through the portal's calls").arg(why));
    // Not inside the link's own event handling.
    QTimer::singleShot(0, this, [this, link = m_eis.get()] {
        if (m_eis.get() == link)
            m_eis.reset();
        stopHolding(QStringLiteral("the connection ended"));
    });
}

void PortalSink::stopHolding(const QString& why)
{
    if (!m_holding)
        return;
    m_holding = false;
    m_eisWait.stop();
    if (why.isEmpty())
        console::line(QStringLiteral("Input goes through libei"));
    else
        console::line(QStringLiteral("No libei input (%1); input goes through the portal's calls").arg(why));
    routeHeld();
}

void PortalSink::routeHeld()
{
    const std::vector<input::Event> held = std::exchange(m_held, {});
    for (const input::Event& event : held)
        route(event);
    // Through libei they are out at once.
    if (!keysPending())
        notifySent();
}

void PortalSink::notify(const QString& method, const QVariantList& arguments, const QVariantMap& options)
{
    // Moves waiting behind a slow call are merged: the pointer ends up where it would have.
    const bool motion = method == QLatin1String("NotifyPointerMotion");
    if (motion && !m_queue.empty() && m_queue.back().method == method) {
        QVariantList& queued = m_queue.back().arguments;
        queued[0] = queued[0].toDouble() + arguments[0].toDouble();
        queued[1] = queued[1].toDouble() + arguments[1].toDouble();
        return;
    }
    m_queue.push_back({method, arguments, options});
    sendNext();
}

void PortalSink::sendNext()
{
    // The portal may serve calls on several threads, so a call goes out only once the one
    // before it was answered: a key's release must not overtake its press.
    if (m_inFlight || m_queue.empty())
        return;
    const QueuedCall next = std::move(m_queue.front());
    m_queue.pop_front();
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, remoteDesktop, next.method);
    call.setArguments(QVariantList{QVariant::fromValue(QDBusObjectPath(m_sessionPath)), next.options} +
                      next.arguments);
    m_inFlight = true;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        m_inFlight = false;
        sendNext();
        if (!keysPending())
            notifySent();
    });
}

void PortalSink::post(const input::Event& event)
{
    if (m_state != State::Granted) {
        // At the shield the desktop refuses at once: asked again when it goes down.
        if (m_state == State::Refused &&
            ((m_shieldUp && m_askWhenUnshielded) || !m_lastRequest.hasExpired(m_askAgainAfter)))
            return;
        if (m_state == State::Refused || m_state == State::Idle)
            requestAccess();
        // What comes while the desktop is asked waits for its answer: the first words typed
        // after a start are not lost to the request's few milliseconds (or the user's click).
        if (m_state != State::Refused && m_state != State::Idle && m_held.size() < maxHeldEvents)
            m_held.push_back(event);
        return;
    }
    if (m_holding) {
        if (m_held.size() < maxHeldEvents)
            m_held.push_back(event);
        return;
    }
    route(event);
}

void PortalSink::route(const input::Event& event)
{
    // Through libei unless calls to the portal are still under way, which must keep their order.
    if (m_eis && m_queue.empty() && !m_inFlight && m_eis->post(event))
        return;
    if (m_eis)
        qCDebug(lcInput).noquote() << "through the portal's calls:" << input::describe(event).c_str();
    std::visit(Overloaded{
                   [this](const input::PointerMotion& motion) {
                       if (motion.dx != 0 || motion.dy != 0)
                           notify(QStringLiteral("NotifyPointerMotion"), {motion.dx, motion.dy});
                   },
                   [this](const input::ButtonChange& change) {
                       notify(QStringLiteral("NotifyPointerButton"),
                              {int(input::evdevCode(change.button)), uint(change.down ? 1 : 0)});
                   },
                   [this](const input::WheelScroll& wheel) { postWheel(wheel); },
                   [this](const input::KeyChange& key) {
                       // Shortcut letters by keysym, so that Control+V is V in the user's layout.
                       postKey(key.key, key.down, input::shortcutKeysym(key));
                   },
                   [this](const input::MediaKey& media) {
                       // Media keys by keysym too, as their codes vary between keymaps.
                       postKey(media.key, media.down, input::keysymOf(media.key));
                   },
                   // Pasted text goes through the clipboard owner.
                   [](const input::ClipboardText&) {},
               },
               event);
}

void PortalSink::postWheel(const input::WheelScroll& wheel)
{
    // Whole notches only, the rest kept for the next scroll: the same amount on every desktop.
    // Ours are positive up and left; Wayland's axes are positive down and right.
    const int down = -m_wheelVertical.take(wheel.vertical);
    const int right = -m_wheelHorizontal.take(wheel.horizontal);
    if (m_scroll == ScrollStyle::Discrete) {
        if (down != 0)
            notify(QStringLiteral("NotifyPointerAxisDiscrete"), {uint(0), down});
        if (right != 0)
            notify(QStringLiteral("NotifyPointerAxisDiscrete"), {uint(1), right});
        return;
    }
    if (down == 0 && right == 0)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, remoteDesktop,
                                                       QStringLiteral("NotifyPointerAxis"));
    QVariantMap options;
    options.insert(QStringLiteral("finish"), true);
    call.setArguments({QVariant::fromValue(QDBusObjectPath(m_sessionPath)), options,
                       double(right * smoothPerNotch), double(-down * smoothPerNotch)});
    m_bus.send(call);
}

void PortalSink::postKey(std::uint16_t key, bool down, std::optional<std::uint32_t> keysym)
{
    const uint state = down ? 1 : 0;
    if (keysym)
        notify(QStringLiteral("NotifyKeyboardKeysym"), {int(*keysym), state});
    else
        notify(QStringLiteral("NotifyKeyboardKeycode"), {int(key), state});
}

} // namespace quillmote::wayland
