// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/ClipboardOwner.h"
#include "platform/x11/X11Sink.h"

#include <memory>

namespace quillmote::x11 {

// The X clipboard on a display whose input we do not post: Xwayland, whose CLIPBOARD GNOME and
// KDE hand on to Wayland clients. Reports fetches, so pastes stay in order.
class X11ClipboardOwner : public input::ClipboardOwner
{
public:
    static std::unique_ptr<X11ClipboardOwner> open(const QByteArray& displayName, QString* error);

    QString name() const override { return QStringLiteral("X clipboard"); }
    bool setText(const QString& text, bool alsoPrimary) override;
    bool reportsFetched() const override { return true; }

private:
    explicit X11ClipboardOwner(std::unique_ptr<X11Sink> display);
    std::unique_ptr<X11Sink> m_display;
};

} // namespace quillmote::x11
