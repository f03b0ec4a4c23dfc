// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11Pointer.h"

#include "platform/x11/XResources.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillmote::x11 {

int pixelOf(double coordinate)
{
    return static_cast<int>(std::clamp(std::floor(coordinate), -32768.0, 32767.0));
}

X11Pointer::X11Pointer(std::shared_ptr<X11Connection> connection) : m_connection(std::move(connection))
{
    connect(m_connection.get(), &X11Connection::connected, this, &X11Pointer::setUp);
    connect(m_connection.get(), &X11Connection::lost, this, [this] { m_known = false; });
    connect(m_connection.get(), &X11Connection::eventReceived, this, &X11Pointer::onEvent);
    setUp();
}

void X11Pointer::setUp()
{
    m_known = false;
    m_unechoed.clear();
    m_xiOpcode = -1;
    m_xtestPointer = -1;
    Display* display = m_connection->display();
    if (!display)
        return;
    // Raw motion of any device tells us that the pointer moved without us.
    int event = 0, error = 0, major = 2, minor = 0;
    if (!XQueryExtension(display, "XInputExtension", &m_xiOpcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success) {
        m_xiOpcode = -1;
        return;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawMotion);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    // Our own motion comes back from the XTest pointer, carrying the step we posted.
    int count = 0;
    const DeviceInfo devices(XIQueryDevice(display, XIAllDevices, &count));
    for (int i = 0; devices && i < count; ++i) {
        if (devices.get()[i].use == XISlavePointer && std::strstr(devices.get()[i].name, "XTEST"))
            m_xtestPointer = devices.get()[i].deviceid;
    }
}

void X11Pointer::onEvent(XEvent* event)
{
    if (event->type != GenericEvent || event->xcookie.extension != m_xiOpcode ||
        event->xcookie.evtype != XI_RawMotion || !event->xcookie.data)
        return;
    const auto* raw = static_cast<const XIRawEvent*>(event->xcookie.data);
    std::optional<std::pair<int, int>> pixel;
    if (raw->valuators.mask_len > 0 && XIMaskIsSet(raw->valuators.mask, 0) &&
        XIMaskIsSet(raw->valuators.mask, 1))
        pixel =
            std::pair{static_cast<int>(raw->valuators.values[0]), static_cast<int>(raw->valuators.values[1])};
    if (raw->sourceid == m_xtestPointer && pixel && !m_unechoed.empty() && m_unechoed.front() == *pixel) {
        m_unechoed.pop_front();
        return;
    }
    // Someone else moved the pointer: a device, or another client's relative XTest motion.
    m_unechoed.clear();
    forget();
}

std::optional<input::Point> X11Pointer::location(bool current)
{
    m_connection->readSentEvents();
    Display* display = m_connection->display();
    if (!display)
        return std::nullopt;
    const auto now = std::chrono::steady_clock::now();
    if (!current && m_known && m_precise && now - m_lastQuery < revalidateAfter)
        return m_precise;
    m_lastQuery = now;
    Window root = 0, child = 0;
    int x = 0, y = 0, windowX = 0, windowY = 0;
    unsigned mask = 0;
    const Bool sameScreen =
        XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &windowX, &windowY, &mask);
    m_connection->processEventsSoon();
    if (!m_connection->isConnected() || !sameScreen)
        return std::nullopt;
    m_known = true;
    if (!m_precise || m_pixel != std::pair{x, y}) {
        m_precise = input::Point{static_cast<double>(x), static_cast<double>(y)};
        m_pixel = {x, y};
    }
    return m_precise;
}

std::pair<int, int> X11Pointer::stepTo(input::Point precise) const
{
    return {pixelOf(precise.x) - m_pixel.first, pixelOf(precise.y) - m_pixel.second};
}

void X11Pointer::notePosted(input::Point precise, std::pair<int, int> step)
{
    m_pixel = {pixelOf(precise.x), pixelOf(precise.y)};
    m_precise = precise;
    if (m_xiOpcode < 0 || step == std::pair{0, 0})
        return;
    m_unechoed.push_back(step);
    if (m_unechoed.size() > maxUnechoedPosts) {
        m_unechoed.clear();
        forget();
    }
}

} // namespace quillmote::x11
