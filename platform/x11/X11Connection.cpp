// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11Connection.h"

#include "util/Console.h"

#include <QAbstractEventDispatcher>

#include "platform/x11/XResources.h"

namespace quillmote::x11 {

void DisplayCloser::operator()(Display* display) const
{
    // After an I/O error Xlib only frees the display.
    XCloseDisplay(display);
}

namespace {
constexpr int reconnectIntervalMs = 1000;

// Protocol errors (a clipboard requestor that vanished, say) are not fatal for us; Xlib's
// default handler would end the process.
int ignoreProtocolError(Display*, XErrorEvent*)
{
    return 0;
}
// The per-display exit handler takes over; this only keeps Xlib quiet.
int ignoreIOError(Display*)
{
    return 0;
}
} // namespace

std::shared_ptr<X11Connection> X11Connection::open(const QByteArray& displayName, QString* error)
{
    std::shared_ptr<X11Connection> connection(new X11Connection(displayName));
    if (!connection->connectDisplay(error))
        return nullptr;
    return connection;
}

X11Connection::X11Connection(QByteArray displayName) : m_displayName(std::move(displayName))
{
    XSetErrorHandler(ignoreProtocolError);
    XSetIOErrorHandler(ignoreIOError);
    m_reconnectTimer.setInterval(reconnectIntervalMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        QString error;
        if (!connectDisplay(&error))
            return;
        m_reconnectTimer.stop();
        console::line(QStringLiteral("X display %1 is back; posting input again")
                          .arg(QString::fromLocal8Bit(XDisplayString(m_display.get()))));
        Q_EMIT connected();
    });
    // Any round trip (a property read, the focus asked for) may read a client's request into
    // Xlib's queue, where the socket no longer announces it: before the loop sleeps, whatever is
    // queued is handled, so that no request waits on the next unrelated event or timer.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (isConnected() && XEventsQueued(m_display.get(), QueuedAlready) > 0)
                processEvents();
        });
}

X11Connection::~X11Connection()
{
    dropDisplay();
}

bool X11Connection::connectDisplay(QString* error)
{
    DisplayHandle display(XOpenDisplay(m_displayName.isEmpty() ? nullptr : m_displayName.constData()));
    if (!display) {
        *error = QStringLiteral("cannot open X display \"%1\"").arg(QString::fromLocal8Bit(m_displayName));
        return false;
    }
    m_display = std::move(display);
    m_lost = false;
    XSetIOErrorExitHandler(m_display.get(), &X11Connection::onConnectionLost, this);
    m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(m_display.get()), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11Connection::processEvents);
    return true;
}

void X11Connection::onConnectionLost(Display*, void* self)
{
    // Called from inside whichever Xlib call noticed; the display is only dropped afterwards.
    auto* connection = static_cast<X11Connection*>(self);
    if (connection->m_lost)
        return;
    connection->m_lost = true;
    console::line(QStringLiteral("Lost the X display; input is not posted until it is back"));
    QMetaObject::invokeMethod(
        connection,
        [connection] {
            connection->dropDisplay();
            Q_EMIT connection->lost();
            connection->m_reconnectTimer.start();
        },
        Qt::QueuedConnection);
}

void X11Connection::dropDisplay()
{
    m_notifier.reset();
    m_display.reset();
}

void X11Connection::processEvents()
{
    m_eventsScheduled = false;
    while (isConnected() && XPending(m_display.get()) > 0) {
        XEvent event;
        XNextEvent(m_display.get(), &event);
        if (!isConnected())
            break;
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            continue;
        }
        const bool cookie = event.type == GenericEvent && XGetEventData(m_display.get(), &event.xcookie);
        Q_EMIT eventReceived(&event);
        if (cookie && isConnected())
            XFreeEventData(m_display.get(), &event.xcookie);
    }
}

void X11Connection::readSentEvents()
{
    if (isConnected() && XEventsQueued(m_display.get(), QueuedAfterReading) > 0)
        processEvents();
}

void X11Connection::processEventsSoon()
{
    if (m_eventsScheduled || !isConnected() || XEventsQueued(m_display.get(), QueuedAlready) == 0)
        return;
    m_eventsScheduled = true;
    QMetaObject::invokeMethod(this, &X11Connection::processEvents, Qt::QueuedConnection);
}

} // namespace quillmote::x11
