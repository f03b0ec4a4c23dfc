// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

#include <X11/Xlib.h>

namespace quillmote::x11 {

// Owns the CLIPBOARD selection on our own X connection and hands its text to whoever asks.
// Done here rather than through the GUI toolkit's clipboard, whose X connection ends the
// process when the X server goes away.
class X11Clipboard
{
public:
    explicit X11Clipboard(Display* display);
    ~X11Clipboard();
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    // Takes the CLIPBOARD selection, and PRIMARY too when asked (terminals paste either).
    bool setText(const QString& text, bool alsoPrimary = false);
    // Called each time a client fetched the text itself (not merely the list of targets).
    void setTextFetchedHandler(std::function<void()> handler) { m_textFetched = std::move(handler); }
    // Handles the selection events among the X events; false for any other event.
    bool handleEvent(const XEvent& event);

private:
    void answer(const XSelectionRequestEvent& request);

    Display* m_display;
    Window m_window;
    Atom m_clipboard, m_targets, m_utf8, m_text, m_plainUtf8, m_atom;
    QByteArray m_utf8Text;
    bool m_owned = false;
    bool m_primaryOwned = false;
    std::function<void()> m_textFetched;
};

} // namespace quillmote::x11
