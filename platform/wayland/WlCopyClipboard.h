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
// fetched. What the user had (read with wl-paste first: the text, else an image, else the first
// kind offered, up to maxSavedBytes) is copied back restoreAfterMs after the last paste, unless
// the user copied something else meanwhile.
class WlCopyClipboard : public QObject, public input::ClipboardOwner
{
    Q_OBJECT
public:
    static constexpr int restoreAfterMs = 1500;
    static constexpr qsizetype maxSavedBytes = 16 << 20;
    // A reading that takes longer is given up: the paste does not wait on a hung owner.
    static constexpr int listTimeoutMs = 500;
    static constexpr int readTimeoutMs = 2000;

    WlCopyClipboard(QString copyProgram, QString pasteProgram);
    QString name() const override { return QStringLiteral("wl-copy"); }
    void place(const QString& text, bool alsoPrimary, std::function<void(bool)> done) override;
    bool fetchedUnseen() const override { return true; }

private:
    struct Output
    {
        bool ok = false;
        QByteArray out;
        QByteArray err;
    };
    // What a selection held before a paste. Unknown: it could not be read, so nothing is
    // written back but the pasted text taken away.
    struct Saved
    {
        enum class Kind { Empty, Unknown, Content } kind = Kind::Unknown;
        QString type;
        QByteArray data;
    };
    // Runs a program with `input` on its standard input, for at most timeoutMs.
    void run(const QString& program, const QStringList& arguments, const QByteArray& input, int timeoutMs,
             std::function<void(const Output&)> done);
    void copy(const std::optional<Saved>& content, bool primary, std::function<void(bool)> done);
    void save(bool primary, std::function<void()> done);
    void restore();

    QString m_copy;
    QString m_paste;
    std::optional<Saved> m_saved[2];
    // The text last pasted: a selection holding anything else was copied by the user since.
    QByteArray m_placed;
    QTimer m_restore;
};

} // namespace quillmote::wayland
