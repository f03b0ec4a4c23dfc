// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/ClipboardOwner.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <optional>

namespace quillmote::wayland {

// The Wayland clipboard through wl-copy (KWin and wlroots compositors: the data-control
// protocol). wl-copy serves the text from a process of its own and does not tell when it was
// fetched. The user's text (read with wl-paste first) is copied back restoreAfterMs after the
// last paste; other kinds of content are not.
class WlCopyClipboard : public QObject, public input::ClipboardOwner
{
    Q_OBJECT
public:
    static constexpr int restoreAfterMs = 1500;

    WlCopyClipboard(QString copyProgram, QString pasteProgram);
    QString name() const override { return QStringLiteral("wl-copy"); }
    void place(const QString& text, bool alsoPrimary, std::function<void(bool)> done) override;
    bool fetchedUnseen() const override { return true; }

private:
    // Runs a program with `input` on its standard input; done gets whether it exited 0 and its output.
    void run(const QString& program, const QStringList& arguments, const QByteArray& input,
             std::function<void(bool, const QByteArray&)> done);
    void copy(const std::optional<QByteArray>& text, bool primary, std::function<void(bool)> done);
    void save(bool primary, std::function<void()> done);
    void restore();

    QString m_copy;
    QString m_paste;
    // What to give back, per selection: nothing saved, or the text (none: it was empty).
    std::optional<std::optional<QByteArray>> m_saved[2];
    QTimer m_restore;
};

} // namespace quillmote::wayland
