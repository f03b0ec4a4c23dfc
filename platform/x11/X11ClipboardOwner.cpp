// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11ClipboardOwner.h"

namespace quillmote::x11 {

std::unique_ptr<X11ClipboardOwner> X11ClipboardOwner::open(const QByteArray& displayName, QString* error)
{
    // The sink's connection already serves the selections and comes back after a lost display.
    std::unique_ptr<X11Sink> display = X11Sink::open(displayName, error);
    if (!display)
        return nullptr;
    return std::unique_ptr<X11ClipboardOwner>(new X11ClipboardOwner(std::move(display)));
}

X11ClipboardOwner::X11ClipboardOwner(std::unique_ptr<X11Sink> display) : m_display(std::move(display))
{
    m_display->setPasteFetchedHandler([this] { notifyFetched(); });
}

bool X11ClipboardOwner::setText(const QString& text, bool alsoPrimary)
{
    return alsoPrimary ? m_display->setSelectionText(text) : m_display->setClipboardText(text);
}

} // namespace quillmote::x11
