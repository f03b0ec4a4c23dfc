// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/LinuxEvents.h"
#include "input/PointerState.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace quillmote::wayland {

// How the desktop's portal turns scroll requests into wheel events; they differ, so each gets
// what makes it scroll by the same notches.
enum class ScrollStyle {
    // mutter: discrete steps are whole notches, smooth values pass through.
    Discrete,
    // KWin: a discrete step is a tenth of a notch, and the smooth vertical axis is inverted.
    InvertedSmooth,
};

// The version of the RemoteDesktop portal on the bus when it offers keyboard and pointer;
// empty, with the reason, when not.
std::optional<uint> remoteDesktopPortalVersion(const QDBusConnection& bus, QString* reason);

// Input through the desktop's RemoteDesktop portal (GNOME and KDE Wayland sessions). The
// desktop asks the user first; until the answer the sink is not trusted. A session the desktop
// closes (screen lock, revoked) is asked for again on later input, at most once a minute.
class PortalSink : public QObject, public input::LinuxEventSink
{
    Q_OBJECT
public:
    static constexpr int askAgainAfterMs = 60'000;
    static constexpr int requestTimeoutMs = 120'000;

    PortalSink(QDBusConnection bus, uint version, ScrollStyle scroll, QString settingsPath);
    ~PortalSink() override;

    QString name() const override { return QStringLiteral("portal"); }
    bool isTrusted() override { return m_state == State::Granted; }
    Access access() override;
    void requestAccess() override;
    bool movesRelatively() const override { return true; }
    std::optional<input::Point> pointerLocation() override { return std::nullopt; }
    std::optional<std::vector<input::Rect>> activeDisplays() override { return std::nullopt; }
    void postLinux(const input::LinuxEvent& event) override;

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap& results);
    void onSessionClosed();

private:
    enum class State { Idle, CreatingSession, SelectingDevices, Starting, Granted, Refused };

    void fail(const QString& why);
    void request(const QString& method, const QVariantList& arguments, QVariantMap options);
    void stopListening();
    void closeSession();
    void notify(const QString& method, const QVariantList& arguments, const QVariantMap& options = {});
    void sendNext();
    void postKey(const input::KeyChange& change);
    void postWheel(const input::WheelScroll& wheel);
    QString storedRestoreToken() const;
    void storeRestoreToken(const QString& token);

    QDBusConnection m_bus;
    ScrollStyle m_scroll;
    QString m_settingsPath;
    uint m_version;
    State m_state = State::Idle;
    QString m_requestPath;
    QString m_sessionPath;
    QElapsedTimer m_lastRequest;
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
};

} // namespace quillmote::wayland
