// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"
#include "input/InputAccess.h"
#include "input/PointerState.h"
#include "platform/wayland/EisLink.h"
#include "util/Backoff.h"
#include "util/Desktop.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quillmote {
class Settings;
}

namespace quillmote::wayland {

// How the desktop's portal turns scroll requests into wheel events; they differ, so each gets
// what makes it scroll by the same notches.
enum class ScrollStyle {
    // mutter: discrete steps are whole notches, smooth values pass through.
    Discrete,
    // KWin: a discrete step is a tenth of a notch, and the smooth vertical axis is inverted.
    InvertedSmooth,
};

// What the desktop's RemoteDesktop portal offers, when it offers keyboard and pointer.
struct PortalOffer
{
    uint version = 0;
    ScrollStyle scroll = ScrollStyle::Discrete;
    // It hands out a libei connection for its session (ConnectToEIS).
    bool connectsToEis = false;
};

// Asks the bus, without waiting for it, whether it has the portal; calls done with the offer,
// or with nothing and the reason, unless context is gone by then. The desktop tells how its
// portal scrolls where its name is known.
void probeRemoteDesktopPortal(
    const QDBusConnection& bus, const Desktop& desktop, QObject* context,
    std::function<void(std::optional<PortalOffer> offer, const QString& reason)> done);

// Input through the desktop's RemoteDesktop portal (GNOME and KDE Wayland sessions). The
// desktop asks the user first; input sent meanwhile waits for the answer (at most maxHeldEvents)
// and goes out once granted. A session the desktop closes (screen lock, revoked) is asked for
// again on later input, at most once a minute after the user refused or ended it. A session the
// desktop ends at its screen shield (GNOME's blank screen and lock) is asked for again as soon as
// the shield goes down, and not at the shield, where the desktop refuses every request at once; a
// request refused without the user (a refusal that is no answer of theirs) is asked again on input
// from 1 s on, doubling.
// Given a connector, the granted session's input goes through libei while the desktop's server
// takes it, and through the portal's calls otherwise; the keymap it sends goes to `layout`.
class PortalSink : public QObject, public input::EventSink
{
    Q_OBJECT
public:
    static constexpr int askAgainAfterMs = 60'000;
    static constexpr int retryFirstMs = 1000;
    // gnome-shell ends the sessions as its shield comes up, and says it is up only once the shield's
    // animation is over, seconds later where the desktop draws in software: a session closed this
    // long before a shield raised elsewhere (a lock, another program) is taken as closed by it.
    static constexpr int shieldAfterCloseMs = 5000;
    // The shield this program raised (shieldComing) needs no such wait: a session closed this soon
    // after is the shield's at once; and if the desktop has not said the shield is up
    // shieldUnconfirmedMs after, it did not come.
    static constexpr int shieldComingMs = 5000;
    static constexpr int shieldUnconfirmedMs = 60'000;
    static constexpr int requestTimeoutMs = 120'000;
    // How long input waits for libei's devices after the grant before the portal's calls take it.
    static constexpr int eisWaitMs = 3000;
    static constexpr std::size_t maxHeldEvents = 4096;
    // How far apart keys of different kinds go out (input::KeyPacer), from when the portal
    // answered the calls before them: LibreOffice Writer on GNOME 43 took an Enter sent right
    // behind a text ahead of it, and none 20 or 50 ms apart. Through libei the keys come in one
    // burst, as XTest's do, where 50 ms was right too.
    static constexpr int keysApartWaitMs = 50;

    // Asks the desktop for a session at once; `access` follows the answer.
    PortalSink(QDBusConnection bus, PortalOffer offer, const Settings& settings, input::InputAccess& access,
               EisConnector connector = {}, std::shared_ptr<LearnedLayout> layout = {});
    ~PortalSink() override;

    QString name() const override
    {
        return m_connector ? QStringLiteral("portal (libei)") : QStringLiteral("portal");
    }
    bool movesRelatively() const override { return true; }
    std::optional<input::Point> pointerLocation() override { return std::nullopt; }
    std::optional<std::vector<input::Rect>> activeDisplays() override { return std::nullopt; }
    void post(const input::Event& event) override;
    int keysApartMs() const override { return keysApartWaitMs; }
    bool keysPending() const override { return m_inFlight || !m_queue.empty() || !m_held.empty(); }
    void shieldComing() override { m_shieldComing.start(); }
    // Asks the desktop again unless it granted access or is asking the user right now.
    void requestAccess();

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap& results);
    void onSessionClosed();
    // The desktop's screen shield (org.gnome.ScreenSaver, org.freedesktop.ScreenSaver) went up or down.
    void onShieldChanged(bool active);

private:
    enum class State { Idle, CreatingSession, SelectingDevices, Starting, Granted, Refused };

    void setState(State state);
    // userRefused: the user said no (or ended the session): not asked again for a minute.
    void fail(const QString& why, bool userRefused = false);
    void request(const QString& method, const QVariantList& arguments, QVariantMap options);
    void stopListening();
    void closeSession();
    void notify(const QString& method, const QVariantList& arguments, const QVariantMap& options = {});
    void sendNext();
    void postKey(std::uint16_t key, bool down, std::optional<std::uint32_t> keysym);
    void postWheel(const input::WheelScroll& wheel);
    void connectToEis();
    void onEisLost(const QString& why);
    // Input held while libei is being set up goes out; from here on, as it comes.
    void stopHolding(const QString& why);
    void route(const input::Event& event);
    void routeHeld();
    void closedAtShield();
    void closedUnshielded();
    // The shield is down (the desktop said so, or the one expected never came): asked again where
    // the desktop, not the user, ended or refused the session.
    void shieldGone(const QString& line);

    QDBusConnection m_bus;
    ScrollStyle m_scroll;
    const Settings& m_settings;
    uint m_version;
    input::InputAccess& m_access;
    State m_state = State::Idle;
    QString m_requestPath;
    QString m_sessionPath;
    QElapsedTimer m_lastRequest;
    // How long after m_lastRequest input may ask again once refused.
    int m_askAgainAfter = askAgainAfterMs;
    Backoff m_retry{retryFirstMs, askAgainAfterMs};
    bool m_shieldUp = false;
    // A session closed while the shield was down, until it turns out whether the shield closed it.
    QTimer m_closedBeforeShield;
    // Since this program raised the shield itself (shieldComing).
    QElapsedTimer m_shieldComing;
    // The shield taken to be up on that account, until the desktop says so.
    QTimer m_shieldUnconfirmed;
    // The desktop, not the user, ended the session or refused it: asked again once the shield is down.
    bool m_askWhenUnshielded = false;
    int m_tokenCounter = 0;
    struct QueuedCall
    {
        QString method;
        QVariantList arguments;
        QVariantMap options;
    };
    std::deque<QueuedCall> m_queue;
    bool m_inFlight = false;
    input::WheelSteps m_wheelVertical;
    input::WheelSteps m_wheelHorizontal;
    EisConnector m_connector;
    std::shared_ptr<LearnedLayout> m_layout;
    std::unique_ptr<EisLink> m_eis;
    bool m_holding = false;
    std::vector<input::Event> m_held;
    QTimer m_eisWait;
};

} // namespace quillmote::wayland
