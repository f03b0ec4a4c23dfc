// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

#include <optional>

namespace quillmote::input {

// What the window manager tells and does for us.
class WindowManager
{
public:
    virtual ~WindowManager() = default;
    // WM_CLASS (or the like) of the window that has the keyboard focus; empty when unknown.
    virtual std::optional<QString> focusedWindowClass() = 0;
    // Shows the desktop, or the windows again; false when the window manager does not do this.
    virtual bool toggleShowDesktop() = 0;
};

} // namespace quillmote::input
