// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/LinuxEvents.h"
#include "input/PointerState.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>
#include <utility>

struct _XDisplay;

namespace quillmote::x11 {

class X11Clipboard;

// Whether an X server answers on the named display (an empty name never does).
bool isDisplayReachable(const QByteArray& displayName);

// The evdev code of the key that types the keysym in the display's current keymap (on
// Xwayland, the Wayland session's layout); empty when no key does or the display is gone.
std::optional<std::uint16_t> evdevKeyForKeysym(const QByteArray& displayName, std::uint32_t keysym);

// Real input on an X11 display through XTest, the active RandR monitors as the displays, and
// the CLIPBOARD selection served from our own connection. Losing the display does not end the
// process: the sink turns untrusted, posts nothing, and connects again when the display is back.
class X11Sink : public QObject, public input::LinuxEventSink
{
    Q_OBJECT
public:
    // Null, with the reason in *error, when the display cannot be opened or lacks XTest.
    static std::unique_ptr<X11Sink> open(const QByteArray& displayName, QString* error);
    ~X11Sink() override;

    QString name() const override { return QStringLiteral("x11"); }
    bool isTrusted() override;
    std::optional<input::Point> pointerLocation() override;
    std::optional<std::vector<input::Rect>> activeDisplays() override;
    void postLinux(const input::LinuxEvent& event) override;
    bool setClipboardText(const QString& text) override;
    bool reportsPasteFetched() const override { return true; }
    bool toggleShowDesktop() override;
    bool setSelectionText(const QString& text) override;
    std::optional<QString> focusedWindowClass() override;

private:
    explicit X11Sink(QByteArray displayName);
    bool connectDisplay(QString* error);
    void dropDisplay();
    void processEvents();
    void processEventsSoon();
    void forgetPosition();
    void readSentEvents();
    void handleRawMotion(const void* rawEvent);
    void postMotion(const input::PointerMotion& motion);
    void postKey(const input::KeyChange& change);
    void postWheel(input::WheelSteps& steps, std::int32_t pixels, unsigned positiveButton,
                   unsigned negativeButton);
    static void onConnectionLost(_XDisplay* display, void* self);

    QByteArray m_displayName;
    _XDisplay* m_display = nullptr;
    bool m_lost = false;
    bool m_eventsScheduled = false;
    int m_randrEventBase = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<X11Clipboard> m_clipboard;
    QTimer m_reconnectTimer;

    input::MonitorCache m_monitors;
    // X pointers are integers: the precise position last posted, while the pointer is still
    // on the pixel we put it on, so that a stream of small moves still adds up.
    std::optional<input::Point> m_precise;
    int m_preciseX = 0;
    int m_preciseY = 0;
    // Asking the server where the pointer is costs a round trip per move, so the position we
    // posted is trusted until something else may have moved the pointer: a raw motion event
    // that is not the echo of one of our own posts, a display or monitor change, or
    // revalidateAfter since the last look (a pointer warped by another client makes no raw
    // motion event).
    static constexpr std::chrono::milliseconds revalidateAfter{100};
    static constexpr std::size_t maxUnechoedPosts = 256;
    bool m_positionKnown = false;
    std::chrono::steady_clock::time_point m_lastQuery;
    int m_xiOpcode = -1;
    int m_xtestPointer = -1;
    // Pixels posted whose raw motion event has not come back yet, oldest first.
    std::deque<std::pair<int, int>> m_unechoedPosts;
    input::WheelSteps m_wheelVertical;
    input::WheelSteps m_wheelHorizontal;
};

} // namespace quillmote::x11
