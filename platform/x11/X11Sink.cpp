// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11Sink.h"

#include "platform/x11/X11Clipboard.h"
#include "util/Console.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace quillmote::x11 {

namespace {
constexpr int reconnectIntervalMs = 1000;

// Protocol errors (a clipboard requestor that vanished, say) are not fatal for us; Xlib's
// default handler would end the process.
int ignoreProtocolError(Display*, XErrorEvent*)
{
    return 0;
}
// The per-display exit handler below takes over; this only keeps Xlib quiet.
int ignoreIOError(Display*)
{
    return 0;
}

int pixel(double coordinate)
{
    // X coordinates are 16 bits wide; the fraction is kept by the caller.
    return static_cast<int>(std::clamp(std::floor(coordinate), -32768.0, 32767.0));
}
} // namespace

bool isDisplayReachable(const QByteArray& displayName)
{
    if (displayName.isEmpty())
        return false;
    Display* display = XOpenDisplay(displayName.constData());
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

std::optional<std::uint16_t> evdevKeyForKeysym(const QByteArray& displayName, std::uint32_t keysym)
{
    if (displayName.isEmpty())
        return std::nullopt;
    // A connection per look-up: shortcuts are rare, and the keymap is then always current.
    Display* display = XOpenDisplay(displayName.constData());
    if (!display)
        return std::nullopt;
    const KeyCode keycode = XKeysymToKeycode(display, keysym);
    XCloseDisplay(display);
    if (keycode < 8)
        return std::nullopt;
    return static_cast<std::uint16_t>(keycode - 8);
}

std::unique_ptr<X11Sink> X11Sink::open(const QByteArray& displayName, QString* error)
{
    std::unique_ptr<X11Sink> sink(new X11Sink(displayName));
    if (!sink->connectDisplay(error))
        return nullptr;
    return sink;
}

X11Sink::X11Sink(QByteArray displayName) : m_displayName(std::move(displayName))
{
    XSetErrorHandler(ignoreProtocolError);
    XSetIOErrorHandler(ignoreIOError);
    m_reconnectTimer.setInterval(reconnectIntervalMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        QString error;
        if (connectDisplay(&error)) {
            m_reconnectTimer.stop();
            console::line(QStringLiteral("X display %1 is back; posting input again")
                              .arg(QString::fromLocal8Bit(XDisplayString(m_display))));
        }
    });
}

X11Sink::~X11Sink()
{
    dropDisplay();
}

bool X11Sink::connectDisplay(QString* error)
{
    Display* display = XOpenDisplay(m_displayName.isEmpty() ? nullptr : m_displayName.constData());
    if (!display) {
        *error = QStringLiteral("cannot open X display \"%1\"").arg(QString::fromLocal8Bit(m_displayName));
        return false;
    }
    int event = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &errorBase, &major, &minor)) {
        *error = QStringLiteral("the X display has no XTest extension");
        XCloseDisplay(display);
        return false;
    }
    m_display = display;
    m_lost = false;
    XSetIOErrorExitHandler(m_display, &X11Sink::onConnectionLost, this);
    // Keep the monitor list from RandR's change events instead of asking on every move.
    if (XRRQueryExtension(m_display, &m_randrEventBase, &errorBase))
        XRRSelectInput(m_display, DefaultRootWindow(m_display),
                       RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    else
        m_randrEventBase = -1;
    // Redefined monitors (xrandr --setmonitor) send no RandR event, only the root's
    // ConfigureNotify.
    XSelectInput(m_display, DefaultRootWindow(m_display), StructureNotifyMask);
    // Raw motion of any device tells us that the pointer moved without us.
    int xiEvent = 0, xiError = 0, xiMajor = 2, xiMinor = 0;
    m_xiOpcode = -1;
    if (XQueryExtension(m_display, "XInputExtension", &m_xiOpcode, &xiEvent, &xiError) &&
        XIQueryVersion(m_display, &xiMajor, &xiMinor) == Success) {
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawMotion);
        XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
        XISelectEvents(m_display, DefaultRootWindow(m_display), &mask, 1);
        // Our own motion comes back from the XTest pointer, carrying the pixel we posted.
        int count = 0;
        m_xtestPointer = -1;
        if (XIDeviceInfo* devices = XIQueryDevice(m_display, XIAllDevices, &count)) {
            for (int i = 0; i < count; ++i) {
                if (devices[i].use == XISlavePointer && std::strstr(devices[i].name, "XTEST"))
                    m_xtestPointer = devices[i].deviceid;
            }
            XIFreeDeviceInfo(devices);
        }
    } else {
        m_xiOpcode = -1;
    }
    m_monitors.invalidate();
    forgetPosition();
    m_unechoedPosts.clear();
    m_clipboard = std::make_unique<X11Clipboard>(m_display);
    m_clipboard->setTextFetchedHandler([this] { notifyPasteFetched(); });
    m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(m_display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11Sink::processEvents);
    XFlush(m_display);
    return true;
}

void X11Sink::onConnectionLost(_XDisplay*, void* self)
{
    // Called from inside whichever Xlib call noticed; the display is only dropped afterwards.
    auto* sink = static_cast<X11Sink*>(self);
    if (sink->m_lost)
        return;
    sink->m_lost = true;
    console::line(QStringLiteral("Lost the X display; input is not posted until it is back"));
    QMetaObject::invokeMethod(
        sink,
        [sink] {
            sink->dropDisplay();
            sink->m_reconnectTimer.start();
        },
        Qt::QueuedConnection);
}

void X11Sink::dropDisplay()
{
    m_notifier.reset();
    m_clipboard.reset();
    if (m_display)
        XCloseDisplay(m_display); // after an I/O error Xlib only frees it
    m_display = nullptr;
    m_monitors.invalidate();
    forgetPosition();
}

void X11Sink::forgetPosition()
{
    m_positionKnown = false;
}

void X11Sink::processEvents()
{
    m_eventsScheduled = false;
    while (m_display && !m_lost && XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (m_lost)
            break;
        if (m_clipboard->handleEvent(event))
            continue;
        if (event.type == GenericEvent && event.xcookie.extension == m_xiOpcode) {
            if (event.xcookie.evtype == XI_RawMotion && XGetEventData(m_display, &event.xcookie)) {
                handleRawMotion(event.xcookie.data);
                XFreeEventData(m_display, &event.xcookie);
            }
        } else if (event.type == ConfigureNotify && event.xconfigure.window == DefaultRootWindow(m_display)) {
            m_monitors.invalidate();
            forgetPosition();
        } else if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
        } else if (m_randrEventBase >= 0 && event.type >= m_randrEventBase &&
                   event.type < m_randrEventBase + RRNumberEvents) {
            XRRUpdateConfiguration(&event);
            m_monitors.invalidate();
            forgetPosition();
        }
    }
}

void X11Sink::processEventsSoon()
{
    // A reply read for us may have brought events along; the socket will not signal them.
    if (m_eventsScheduled || !m_display || m_lost || XEventsQueued(m_display, QueuedAlready) == 0)
        return;
    m_eventsScheduled = true;
    QMetaObject::invokeMethod(this, &X11Sink::processEvents, Qt::QueuedConnection);
}

void X11Sink::handleRawMotion(const void* rawEvent)
{
    const auto* raw = static_cast<const XIRawEvent*>(rawEvent);
    std::optional<std::pair<int, int>> pixel;
    if (raw->valuators.mask_len > 0 && XIMaskIsSet(raw->valuators.mask, 0) &&
        XIMaskIsSet(raw->valuators.mask, 1))
        pixel =
            std::pair{static_cast<int>(raw->valuators.values[0]), static_cast<int>(raw->valuators.values[1])};
    if (raw->sourceid == m_xtestPointer && pixel && !m_unechoedPosts.empty() &&
        m_unechoedPosts.front() == *pixel) {
        m_unechoedPosts.pop_front();
        return;
    }
    // Someone else moved the pointer: a device, or another client's relative XTest motion.
    m_unechoedPosts.clear();
    forgetPosition();
}

void X11Sink::readSentEvents()
{
    // What the server has already sent (a monitor change, a raw motion) must count before the
    // cached monitors or position are used; reading it does not wait for the server.
    if (XEventsQueued(m_display, QueuedAfterReading) > 0)
        processEvents();
}

bool X11Sink::isTrusted()
{
    return m_display && !m_lost;
}

std::optional<input::Point> X11Sink::pointerLocation()
{
    if (!m_display || m_lost)
        return std::nullopt;
    readSentEvents();
    const auto now = std::chrono::steady_clock::now();
    if (m_positionKnown && m_precise && !m_lost && now - m_lastQuery < revalidateAfter)
        return m_precise;
    if (!m_display || m_lost)
        return std::nullopt;
    m_lastQuery = now;
    Window root = 0, child = 0;
    int x = 0, y = 0, windowX = 0, windowY = 0;
    unsigned mask = 0;
    const Bool sameScreen = XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &x, &y,
                                          &windowX, &windowY, &mask);
    processEventsSoon();
    if (m_lost || !sameScreen)
        return std::nullopt;
    m_positionKnown = true;
    if (m_precise && x == m_preciseX && y == m_preciseY)
        return m_precise;
    m_precise = input::Point{static_cast<double>(x), static_cast<double>(y)};
    m_preciseX = x;
    m_preciseY = y;
    return m_precise;
}

std::optional<std::vector<input::Rect>> X11Sink::activeDisplays()
{
    if (!m_display || m_lost)
        return std::nullopt;
    readSentEvents();
    if (!m_display || m_lost)
        return std::nullopt;
    if (m_monitors.monitors() && m_randrEventBase >= 0)
        return m_monitors.monitors();
    std::vector<input::Rect> rects;
    if (m_randrEventBase >= 0) {
        int count = 0;
        XRRMonitorInfo* monitors = XRRGetMonitors(m_display, DefaultRootWindow(m_display), True, &count);
        for (int i = 0; i < count; ++i)
            rects.push_back({double(monitors[i].x), double(monitors[i].y), double(monitors[i].width),
                             double(monitors[i].height)});
        if (monitors)
            XRRFreeMonitors(monitors);
    } else {
        const int screen = DefaultScreen(m_display);
        rects.push_back(
            {0, 0, double(DisplayWidth(m_display, screen)), double(DisplayHeight(m_display, screen))});
    }
    processEventsSoon();
    if (m_lost)
        return std::nullopt;
    m_monitors.store(rects);
    return rects;
}

void X11Sink::postMotion(const input::PointerMotion& motion)
{
    const int x = pixel(motion.to.x);
    const int y = pixel(motion.to.y);
    XTestFakeMotionEvent(m_display, DefaultScreen(m_display), x, y, CurrentTime);
    if (m_xiOpcode >= 0) {
        m_unechoedPosts.emplace_back(x, y);
        if (m_unechoedPosts.size() > maxUnechoedPosts) {
            m_unechoedPosts.clear();
            forgetPosition();
        }
    }
    m_precise = motion.to;
    m_preciseX = x;
    m_preciseY = y;
}

void X11Sink::postKey(const input::KeyChange& change)
{
    KeyCode keycode = 0;
    const KeySym keysym = XStringToKeysym(change.key.keysymName);
    if (keysym != NoSymbol)
        keycode = XKeysymToKeycode(m_display, keysym);
    // Not in this keymap: the key at the same physical place, as the kernel numbers it.
    if (keycode == 0 && change.key.evdevCode + 8 <= 255)
        keycode = static_cast<KeyCode>(change.key.evdevCode + 8);
    XTestFakeKeyEvent(m_display, keycode, change.down ? True : False, CurrentTime);
}

void X11Sink::postWheel(input::WheelSteps& steps, std::int32_t pixels, unsigned positiveButton,
                        unsigned negativeButton)
{
    const int clicks = steps.take(pixels);
    const unsigned button = clicks > 0 ? positiveButton : negativeButton;
    for (int i = 0; i < std::abs(clicks); ++i) {
        XTestFakeButtonEvent(m_display, button, True, CurrentTime);
        XTestFakeButtonEvent(m_display, button, False, CurrentTime);
    }
}

void X11Sink::postLinux(const input::LinuxEvent& event)
{
    if (!m_display || m_lost)
        return;
    if (const auto* motion = std::get_if<input::PointerMotion>(&event)) {
        postMotion(*motion);
    } else if (const auto* change = std::get_if<input::ButtonChange>(&event)) {
        static constexpr unsigned buttons[] = {Button1, Button3, Button2};
        XTestFakeButtonEvent(m_display, buttons[static_cast<int>(change->button)],
                             change->down ? True : False, CurrentTime);
    } else if (const auto* wheel = std::get_if<input::WheelScroll>(&event)) {
        // Positive vertical scrolls up (button 4), positive horizontal left (button 6).
        postWheel(m_wheelVertical, wheel->vertical, 4, 5);
        postWheel(m_wheelHorizontal, wheel->horizontal, 6, 7);
    } else {
        postKey(std::get<input::KeyChange>(event));
    }
    XFlush(m_display);
}

bool X11Sink::toggleShowDesktop()
{
    if (!m_display || m_lost)
        return false;
    const Window root = DefaultRootWindow(m_display);
    const Atom showing = XInternAtom(m_display, "_NET_SHOWING_DESKTOP", False);
    const auto property = [this, root](Atom name, Atom type) {
        std::vector<long> values;
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, root, name, 0, 1024, False, type, &actualType, &format, &count,
                               &after, &data) == Success &&
            data && format == 32)
            values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
        if (data)
            XFree(data);
        return values;
    };
    // Only a window manager that says it supports the request (EWMH) acts on it.
    const std::vector<long> supported = property(XInternAtom(m_display, "_NET_SUPPORTED", False), XA_ATOM);
    if (std::find(supported.begin(), supported.end(), static_cast<long>(showing)) == supported.end())
        return false;
    const std::vector<long> current = property(showing, XA_CARDINAL);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = root;
    event.xclient.message_type = showing;
    event.xclient.format = 32;
    event.xclient.data.l[0] = current.empty() || current[0] == 0 ? 1 : 0;
    XSendEvent(m_display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(m_display);
    processEventsSoon();
    return !m_lost;
}

bool X11Sink::setSelectionText(const QString& text)
{
    if (!m_display || m_lost)
        return false;
    const bool owned = m_clipboard->setText(text, true);
    processEventsSoon();
    return owned && !m_lost;
}

std::optional<QString> X11Sink::focusedWindowClass()
{
    if (!m_display || m_lost)
        return std::nullopt;
    // The window manager's active window, else the focus; then up to the window that has a class
    // (the focus is often a child of the application's top-level window).
    Window window = None;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, DefaultRootWindow(m_display),
                           XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False), 0, 1, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success &&
        data && count == 1 && format == 32)
        window = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    if (window == None) {
        int revert = 0;
        XGetInputFocus(m_display, &window, &revert);
    }
    for (int depth = 0; depth < 8 && window != None && window != PointerRoot && !m_lost; ++depth) {
        XClassHint hint{};
        if (XGetClassHint(m_display, window, &hint)) {
            const QString name = QString::fromLocal8Bit(hint.res_name ? hint.res_name : "");
            const QString windowClass = QString::fromLocal8Bit(hint.res_class ? hint.res_class : "");
            XFree(hint.res_name);
            XFree(hint.res_class);
            // The instance name is the more specific one (xfce4-terminal, st-256color).
            return name.isEmpty() ? windowClass : name;
        }
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned childCount = 0;
        if (!XQueryTree(m_display, window, &root, &parent, &children, &childCount))
            break;
        if (children)
            XFree(children);
        if (parent == root)
            break;
        window = parent;
    }
    return std::nullopt;
}

bool X11Sink::setClipboardText(const QString& text)
{
    if (!m_display || m_lost)
        return false;
    const bool owned = m_clipboard->setText(text);
    processEventsSoon();
    return owned && !m_lost;
}

} // namespace quillmote::x11
