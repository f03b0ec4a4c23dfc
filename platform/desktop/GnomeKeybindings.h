// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QStringList>

namespace quillmote::desktop {

// The keys GNOME's settings bind to showing the desktop (GSettings
// org.gnome.desktop.wm.keybindings show-desktop), as accelerator names; empty where the schema
// is not installed or nothing is bound, which is GNOME's default.
QStringList gnomeShowDesktopKeys();

} // namespace quillmote::desktop
