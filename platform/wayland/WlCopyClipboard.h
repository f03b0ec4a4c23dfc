// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/ClipboardOwner.h"

namespace quillmote::wayland {

// The Wayland clipboard through wl-copy, for sessions without Xwayland. wl-copy serves the
// text from a process of its own and does not tell when it was fetched.
class WlCopyClipboard : public input::ClipboardOwner
{
public:
    explicit WlCopyClipboard(QString program) : m_program(std::move(program)) {}
    QString name() const override { return QStringLiteral("wl-copy"); }
    bool setText(const QString& text, bool alsoPrimary) override;

private:
    bool copy(const QByteArray& text, bool primary);
    QString m_program;
};

} // namespace quillmote::wayland
