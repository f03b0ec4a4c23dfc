// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/InputAccess.h"
#include "input/InputBackend.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace quillmote::x11 {

// XTest input, the clipboard and the window manager, on one connection to the display; empty,
// with the reason in *error, when the display cannot be opened or lacks XTest. Access follows
// the display: granted while it is there, unavailable while it is lost.
std::optional<input::InputBackend> openBackend(const QByteArray& displayName, input::InputAccess& access,
                                               QString* error);

// What Xwayland, whose input we do not post, offers a Wayland session's backend: its clipboard
// (which GNOME hands on to Wayland windows, KDE while an X window has the focus), the focused X
// window's class, whether an X window has the focus at all, and the session's keymap. Empty,
// with the reason, when the display cannot be opened.
struct XwaylandParts
{
    std::unique_ptr<input::ClipboardOwner> clipboard;
    std::unique_ptr<input::WindowManager> windowManager;
    std::unique_ptr<input::Keymap> keymap;
    std::function<bool()> xWindowFocused;
};
std::optional<XwaylandParts> openXwayland(const QByteArray& displayName, QString* error);

// Whether an X server answers on the named display (an empty name never does).
bool isDisplayReachable(const QByteArray& displayName);

// The evdev code of the key that types the keysym in the display's current keymap (on
// Xwayland, the Wayland session's layout); empty when no key does or the display is gone.
std::optional<std::uint16_t> evdevKeyForKeysym(const QByteArray& displayName, std::uint32_t keysym);

} // namespace quillmote::x11
