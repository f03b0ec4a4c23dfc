// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11Clipboard.h"

#include <X11/Xatom.h>

namespace quillmote::x11 {

X11Clipboard::X11Clipboard(Display* display)
    : m_display(display),
      m_window(XCreateSimpleWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, 0)),
      m_clipboard(XInternAtom(display, "CLIPBOARD", False)),
      m_targets(XInternAtom(display, "TARGETS", False)), m_utf8(XInternAtom(display, "UTF8_STRING", False)),
      m_text(XInternAtom(display, "TEXT", False)),
      m_plainUtf8(XInternAtom(display, "text/plain;charset=utf-8", False)), m_atom(XA_ATOM)
{
}

X11Clipboard::~X11Clipboard()
{
    XDestroyWindow(m_display, m_window);
}

bool X11Clipboard::setText(const QString& text, bool alsoPrimary)
{
    m_utf8Text = text.toUtf8();
    XSetSelectionOwner(m_display, m_clipboard, m_window, CurrentTime);
    m_owned = XGetSelectionOwner(m_display, m_clipboard) == m_window;
    m_primaryOwned = false;
    if (alsoPrimary) {
        XSetSelectionOwner(m_display, XA_PRIMARY, m_window, CurrentTime);
        m_primaryOwned = XGetSelectionOwner(m_display, XA_PRIMARY) == m_window;
    }
    return m_owned && (!alsoPrimary || m_primaryOwned);
}

bool X11Clipboard::handleEvent(const XEvent& event)
{
    if (event.type == SelectionClear && event.xselectionclear.window == m_window) {
        if (event.xselectionclear.selection == XA_PRIMARY)
            m_primaryOwned = false;
        else
            m_owned = false;
        if (!m_owned && !m_primaryOwned)
            m_utf8Text.clear();
        return true;
    }
    if (event.type == SelectionRequest && event.xselectionrequest.owner == m_window) {
        answer(event.xselectionrequest);
        return true;
    }
    return false;
}

void X11Clipboard::answer(const XSelectionRequestEvent& request)
{
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
            XChangeProperty(m_display, request.requestor, property, m_atom, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(targets), std::size(targets));
            reply.property = property;
        } else if (request.target == m_utf8 || request.target == m_plainUtf8 || request.target == m_text) {
            XChangeProperty(m_display, request.requestor, property, m_utf8, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(m_utf8Text.constData()),
                            static_cast<int>(m_utf8Text.size()));
            reply.property = property;
        } else if (request.target == XA_STRING) {
            const QByteArray latin1 = QString::fromUtf8(m_utf8Text).toLatin1();
            XChangeProperty(m_display, request.requestor, property, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(latin1.constData()),
                            static_cast<int>(latin1.size()));
            reply.property = property;
        }
    }
    XSendEvent(m_display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    XFlush(m_display);
    if (reply.property != None && request.target != m_targets && m_textFetched)
        m_textFetched();
}

} // namespace quillmote::x11
