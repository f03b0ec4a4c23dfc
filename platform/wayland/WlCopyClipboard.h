// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/ClipboardOwner.h"

#include <QByteArray>
#include <QObject>

namespace quillmote::wayland {

// The Wayland clipboard through wl-copy, for sessions without Xwayland. wl-copy serves the
// text from a process of its own and does not tell when it was fetched.
class WlCopyClipboard : public QObject, public input::ClipboardOwner
{
    Q_OBJECT
public:
    explicit WlCopyClipboard(QString program) : m_program(std::move(program)) {}
    QString name() const override { return QStringLiteral("wl-copy"); }
    void place(const QString& text, bool alsoPrimary, std::function<void(bool)> done) override;

private:
    void copy(const QByteArray& text, bool primary, std::function<void(bool)> done);
    QString m_program;
};

} // namespace quillmote::wayland
