// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/wayland/WaylandParts.h"

#include "platform/wayland/FocusedClipboard.h"
#include "platform/wayland/WlCopyClipboard.h"
#include "platform/x11/X11Backend.h"
#include "util/Console.h"

#include <QStandardPaths>

namespace quillmote::wayland {

void addWaylandParts(input::InputBackend& backend, const Desktop& desktop, const QStringList& toolFolders)
{
    QString reason;
    const QString wlCopy = QStandardPaths::findExecutable(QStringLiteral("wl-copy"), toolFolders);
    const QString wlPaste = QStandardPaths::findExecutable(QStringLiteral("wl-paste"), toolFolders);
    if (std::optional<x11::XwaylandParts> x = x11::openXwayland(qgetenv("DISPLAY"), &reason)) {
        backend.windowManager = std::move(x->windowManager);
        backend.keymap = std::move(x->keymap);
        backend.clipboard = std::move(x->clipboard);
        if (!wlCopy.isEmpty() && desktop.isKde)
            backend.clipboard = std::make_unique<FocusedClipboard>(
                std::move(backend.clipboard), std::make_unique<WlCopyClipboard>(wlCopy, wlPaste),
                std::move(x->xWindowFocused));
        return;
    }
    backend.keymap = std::make_unique<input::UsKeymap>();
    if (!wlCopy.isEmpty()) {
        backend.clipboard = std::make_unique<WlCopyClipboard>(wlCopy, wlPaste);
        return;
    }
    console::line(
        QStringLiteral("Typed text cannot be pasted: no Xwayland display (%1) and no wl-copy").arg(reason));
}

} // namespace quillmote::wayland
