// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

// Xlib's types, without its macros (None, Bool, Status…), which break Qt's headers and moc.
struct _XDisplay;
union _XEvent;

namespace quillmote::x11 {

struct DisplayCloser
{
    void operator()(_XDisplay* display) const;
};
using DisplayHandle = std::unique_ptr<_XDisplay, DisplayCloser>;

// Our own Xlib connection to a display and its event pump. Losing the display does not end the
// process: the connection says so, and connects again once the display is back.
class X11Connection : public QObject
{
    Q_OBJECT
public:
    // Null, with the reason in *error, when the display cannot be opened.
    static std::shared_ptr<X11Connection> open(const QByteArray& displayName, QString* error);
    ~X11Connection() override;

    // Null while the display is lost. Any Xlib call may find it lost: check again after each.
    _XDisplay* display() const { return m_lost ? nullptr : m_display.get(); }
    bool isConnected() const { return display() != nullptr; }

    // Handles what the server has already sent (a monitor change, a raw motion) before cached
    // state is used; reading it does not wait for the server.
    void readSentEvents();
    // A reply read for us may have brought events along, which the socket will not signal.
    void processEventsSoon();

Q_SIGNALS:
    // After every connection, the first one included, before any of its events is handled:
    // whoever keeps state on the display sets it up again.
    void connected();
    void lost();
    // Each event in turn; a GenericEvent's cookie data is already fetched.
    void eventReceived(_XEvent* event);

private:
    explicit X11Connection(QByteArray displayName);
    bool connectDisplay(QString* error);
    void dropDisplay();
    void processEvents();
    static void onConnectionLost(_XDisplay* display, void* self);

    QByteArray m_displayName;
    DisplayHandle m_display;
    bool m_lost = false;
    bool m_eventsScheduled = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_reconnectTimer;
};

} // namespace quillmote::x11
