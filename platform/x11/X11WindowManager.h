// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/WindowManager.h"
#include "platform/x11/X11Connection.h"

#include <memory>
#include <optional>
#include <vector>

namespace quillmote::x11 {

// The focused window and show-desktop, through the window manager's EWMH properties. On
// Xwayland (showsDesktop false) only the focus counts: its desktop's own way shows the desktop.
class X11WindowManager : public input::WindowManager
{
public:
    explicit X11WindowManager(std::shared_ptr<X11Connection> connection, bool showsDesktop = true)
        : m_connection(std::move(connection)), m_showsDesktop(showsDesktop)
    {
    }

    std::optional<QString> focusedWindowClass() override;
    bool toggleShowDesktop() override;

    // The window manager's active window, else the window with the input focus; empty when
    // neither is known or the display is lost.
    static std::optional<unsigned long> focusedWindow(X11Connection& connection);

    // A 32-bit property of a window as its values; empty when it is missing or of another type.
    static std::vector<long> property(_XDisplay* display, unsigned long window, const char* name,
                                      unsigned long type, long maxLength = 1024);

private:
    std::optional<QString> readFocusedWindowClass();

    std::shared_ptr<X11Connection> m_connection;
    bool m_showsDesktop;
};

} // namespace quillmote::x11
