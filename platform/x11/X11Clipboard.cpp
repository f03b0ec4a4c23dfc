// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11Clipboard.h"

#include "platform/x11/XResources.h"

#include <X11/Xatom.h>

#include <iterator>

namespace quillmote::x11 {

X11Clipboard::X11Clipboard(std::shared_ptr<X11Connection> connection) : m_connection(std::move(connection))
{
    connect(m_connection.get(), &X11Connection::connected, this, &X11Clipboard::setUp);
    connect(m_connection.get(), &X11Connection::lost, this, [this] {
        m_window = None;
        m_owned = m_primaryOwned = false;
    });
    connect(m_connection.get(), &X11Connection::eventReceived, this, &X11Clipboard::onEvent);
    setUp();
}

X11Clipboard::~X11Clipboard()
{
    if (Display* display = m_connection->display(); display && m_window != None)
        XDestroyWindow(display, m_window);
}

void X11Clipboard::setUp()
{
    Display* display = m_connection->display();
    if (!display)
        return;
    m_window = XCreateSimpleWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, 0);
    m_clipboard = XInternAtom(display, "CLIPBOARD", False);
    m_targets = XInternAtom(display, "TARGETS", False);
    m_utf8 = XInternAtom(display, "UTF8_STRING", False);
    m_text = XInternAtom(display, "TEXT", False);
    m_plainUtf8 = XInternAtom(display, "text/plain;charset=utf-8", False);
    m_owned = m_primaryOwned = false;
}

void X11Clipboard::place(const QString& text, bool alsoPrimary, std::function<void(bool)> done)
{
    Display* display = m_connection->display();
    if (!display || m_window == None) {
        done(false);
        return;
    }
    m_utf8Text = text.toUtf8();
    XSetSelectionOwner(display, m_clipboard, m_window, CurrentTime);
    m_owned = XGetSelectionOwner(display, m_clipboard) == m_window;
    m_primaryOwned = false;
    if (alsoPrimary) {
        XSetSelectionOwner(display, XA_PRIMARY, m_window, CurrentTime);
        m_primaryOwned = XGetSelectionOwner(display, XA_PRIMARY) == m_window;
    }
    m_connection->processEventsSoon();
    done(m_owned && (!alsoPrimary || m_primaryOwned) && m_connection->isConnected());
}

void X11Clipboard::onEvent(XEvent* event)
{
    if (event->type == SelectionClear && event->xselectionclear.window == m_window) {
        if (event->xselectionclear.selection == XA_PRIMARY)
            m_primaryOwned = false;
        else
            m_owned = false;
        if (!m_owned && !m_primaryOwned)
            m_utf8Text.clear();
    } else if (event->type == SelectionRequest && event->xselectionrequest.owner == m_window) {
        answer(event);
    }
}

void X11Clipboard::answer(XEvent* event)
{
    const XSelectionRequestEvent& request = event->xselectionrequest;
    Display* display = m_connection->display();
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = request.display;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    // Old clients name no property; the target then serves as one.
    const Atom property = request.property != None ? request.property : request.target;
    reply.property = None;

    if ((m_owned && request.selection == m_clipboard) ||
        (m_primaryOwned && request.selection == XA_PRIMARY)) {
        if (request.target == m_targets) {
            const Atom targets[] = {m_targets, m_utf8, m_plainUtf8, m_text, XA_STRING};
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(targets), std::size(targets));
            reply.property = property;
        } else if (request.target == m_utf8 || request.target == m_plainUtf8 || request.target == m_text) {
            XChangeProperty(display, request.requestor, property, m_utf8, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(m_utf8Text.constData()),
                            static_cast<int>(m_utf8Text.size()));
            reply.property = property;
        } else if (request.target == XA_STRING) {
            const QByteArray latin1 = QString::fromUtf8(m_utf8Text).toLatin1();
            XChangeProperty(display, request.requestor, property, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(latin1.constData()),
                            static_cast<int>(latin1.size()));
            reply.property = property;
        }
    }
    XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    XFlush(display);
    if (reply.property != None && request.target != m_targets)
        notifyFetched();
}

} // namespace quillmote::x11
