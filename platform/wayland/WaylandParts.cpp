// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/wayland/WaylandParts.h"

#include "input/WindowManager.h"
#include "platform/wayland/FocusedClipboard.h"
#include "platform/wayland/WlCopyClipboard.h"
#include "platform/x11/X11Backend.h"
#include "util/Console.h"

#include <QStandardPaths>

namespace quillmote::wayland {

namespace {
// Without Xwayland nothing tells which window has the focus, nor shows the desktop: pastes take
// the chord that pastes in any window (Shift+Insert, the text in the primary selection too), and
// Show Desktop takes the desktop's shortcut.
class UnknownWindows : public input::WindowManager
{
public:
    std::optional<QString> focusedWindowClass() override { return std::nullopt; }
    bool toggleShowDesktop() override { return false; }
};
} // namespace

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
        else if (desktop.isKde)
            console::line(
                QStringLiteral("No wl-copy (package wl-clipboard): characters the layout lacks cannot be "
                               "pasted into Wayland windows, only into X ones"));
        return;
    }
    backend.windowManager = std::make_unique<UnknownWindows>();
    backend.keymap = std::make_unique<input::UsKeymap>();
    console::line(
        QStringLiteral("No Xwayland display (%1): pastes use Shift+Insert, which terminals take from the "
                       "primary selection, and typed letters follow the US layout")
            .arg(reason));
    if (!wlCopy.isEmpty()) {
        backend.clipboard = std::make_unique<WlCopyClipboard>(wlCopy, wlPaste);
        return;
    }
    // The portal's clipboard may still serve pastes, once its session grants it.
    console::line(QStringLiteral("No wl-copy: without the portal's clipboard, typed text cannot be pasted"));
}

} // namespace quillmote::wayland
