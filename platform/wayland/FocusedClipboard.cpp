// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/wayland/FocusedClipboard.h"

namespace quillmote::wayland {

FocusedClipboard::FocusedClipboard(std::unique_ptr<input::ClipboardOwner> x,
                                   std::unique_ptr<input::ClipboardOwner> wayland,
                                   std::function<bool()> xWindowFocused)
    : m_x(std::move(x)), m_wayland(std::move(wayland)), m_xWindowFocused(std::move(xWindowFocused))
{
    m_x->setFetchedHandler([this] { notifyFetched(); });
}

QString FocusedClipboard::name() const
{
    return m_x->name() + QStringLiteral(" and ") + m_wayland->name();
}

input::ClipboardOwner* FocusedClipboard::focused() const
{
    return m_xWindowFocused() ? m_x.get() : m_wayland.get();
}

void FocusedClipboard::place(const QString& text, bool alsoPrimary, std::function<void(bool)> done)
{
    m_last = focused();
    m_last->place(text, alsoPrimary, std::move(done));
}

void FocusedClipboard::placeClipboardInPrimary(std::function<void(bool)> done)
{
    m_last = focused();
    m_last->placeClipboardInPrimary(std::move(done));
}

} // namespace quillmote::wayland
