// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11WindowManager.h"

#include "platform/x11/XResources.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace quillmote::x11 {

std::vector<long> X11WindowManager::property(Display* display, Window window, const char* name, Atom type,
                                             long maxLength)
{
    std::vector<long> values;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    const int status = XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, maxLength,
                                          False, type, &actualType, &format, &count, &after, &raw);
    const XData<unsigned char> data(raw);
    // Format 32 comes as an array of longs, whatever their width.
    if (status == Success && data && format == 32)
        values.assign(reinterpret_cast<long*>(data.get()), reinterpret_cast<long*>(data.get()) + count);
    return values;
}

bool X11WindowManager::toggleShowDesktop()
{
    Display* display = m_connection->display();
    if (!display || !m_showsDesktop)
        return false;
    const Window root = DefaultRootWindow(display);
    const Atom showing = XInternAtom(display, "_NET_SHOWING_DESKTOP", False);
    // Only a window manager that says it supports the request (EWMH) acts on it.
    const std::vector<long> supported = property(display, root, "_NET_SUPPORTED", XA_ATOM);
    if (!m_connection->isConnected() ||
        std::find(supported.begin(), supported.end(), static_cast<long>(showing)) == supported.end())
        return false;
    const std::vector<long> current = property(display, root, "_NET_SHOWING_DESKTOP", XA_CARDINAL);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = root;
    event.xclient.message_type = showing;
    event.xclient.format = 32;
    event.xclient.data.l[0] = current.empty() || current[0] == 0 ? 1 : 0;
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
    m_connection->processEventsSoon();
    return m_connection->isConnected();
}

std::optional<unsigned long> X11WindowManager::focusedWindow(X11Connection& connection)
{
    Display* display = connection.display();
    if (!display)
        return std::nullopt;
    const std::vector<long> active =
        property(display, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW, 1);
    Window window = active.size() == 1 ? static_cast<Window>(active[0]) : None;
    if (window == None && connection.isConnected()) {
        int revert = 0;
        XGetInputFocus(display, &window, &revert);
    }
    if (window == None || window == PointerRoot || !connection.isConnected())
        return std::nullopt;
    return window;
}

std::optional<QString> X11WindowManager::focusedWindowClass()
{
    std::optional<QString> found = readFocusedWindowClass();
    // Its round trips may have read events (a paste's clipboard request) along with their
    // replies, which the socket will not signal again.
    m_connection->processEventsSoon();
    return found;
}

std::optional<QString> X11WindowManager::readFocusedWindowClass()
{
    Display* display = m_connection->display();
    if (!display)
        return std::nullopt;
    // Up from the focused window to the one that has a class (the focus is often a child of the
    // application's top-level window).
    Window window = focusedWindow(*m_connection).value_or(None);
    for (int depth = 0; depth < 8 && window != None && window != PointerRoot && m_connection->isConnected();
         ++depth) {
        XClassHint hint{};
        if (XGetClassHint(display, window, &hint)) {
            const XData<char> instance(hint.res_name);
            const XData<char> windowClass(hint.res_class);
            // The instance name is the more specific one (xfce4-terminal, st-256color).
            const QString name = QString::fromLocal8Bit(instance ? instance.get() : "");
            return name.isEmpty() ? QString::fromLocal8Bit(windowClass ? windowClass.get() : "") : name;
        }
        // The client's top-level window (the one with WM_STATE) has no class: the window's class is
        // not known. Above it are the window manager's frames, which have classes of their own
        // (GNOME 44 and later frame X windows from a client of theirs).
        if (!property(display, window, "WM_STATE", AnyPropertyType, 2).empty())
            break;
        Window root = None, parent = None;
        Window* rawChildren = nullptr;
        unsigned childCount = 0;
        const bool queried = XQueryTree(display, window, &root, &parent, &rawChildren, &childCount);
        const XData<Window> children(rawChildren);
        if (!queried || parent == root)
            break;
        window = parent;
    }
    return std::nullopt;
}

} // namespace quillmote::x11
