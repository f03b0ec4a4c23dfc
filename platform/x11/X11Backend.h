// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/InputAccess.h"
#include "input/InputBackend.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace quillmote::x11 {

// XTest input, the clipboard and the window manager, on one connection to the display; empty,
// with the reason in *error, when the display cannot be opened or lacks XTest. Access follows
// the display: granted while it is there, unavailable while it is lost.
std::optional<input::InputBackend> openBackend(const QByteArray& displayName, input::InputAccess& access,
                                               QString* error);

// The clipboard alone, for a display whose input we do not post: Xwayland, whose CLIPBOARD
// GNOME and KDE hand on to Wayland clients. Null, with the reason, when it cannot be opened.
std::unique_ptr<input::ClipboardOwner> openClipboard(const QByteArray& displayName, QString* error);

// Whether an X server answers on the named display (an empty name never does).
bool isDisplayReachable(const QByteArray& displayName);

// The evdev code of the key that types the keysym in the display's current keymap (on
// Xwayland, the Wayland session's layout); empty when no key does or the display is gone.
std::optional<std::uint16_t> evdevKeyForKeysym(const QByteArray& displayName, std::uint32_t keysym);

} // namespace quillmote::x11
