// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/InputBackend.h"
#include "util/Desktop.h"

#include <QStringList>

namespace quillmote::wayland {

// Pastes, the focused window and the keymap on Wayland, whichever sink posts the input:
// Xwayland's when there is one, with the Wayland clipboard beside it on KDE; else wl-copy,
// which does not tell when the text was fetched, and the US layout. wl-copy is looked for in
// `toolFolders` only.
void addWaylandParts(input::InputBackend& backend, const Desktop& desktop, const QStringList& toolFolders);

} // namespace quillmote::wayland
