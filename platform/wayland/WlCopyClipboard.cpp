// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/wayland/WlCopyClipboard.h"

#include <QProcess>
#include <QTimer>

namespace quillmote::wayland {

namespace {
// wl-copy forks its server and returns once it has read the text.
constexpr int copyTimeoutMs = 2000;
} // namespace

void WlCopyClipboard::copy(const QByteArray& text, bool primary, std::function<void(bool)> done)
{
    QStringList arguments{QStringLiteral("--type"), QStringLiteral("text/plain;charset=utf-8")};
    if (primary)
        arguments << QStringLiteral("--primary");
    // Owned by this object: its destruction ends a copy still running, without an answer.
    auto* process = new QProcess(this);
    connect(process, &QProcess::finished, this, [process, done](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        done(status == QProcess::NormalExit && code == 0);
    });
    connect(process, &QProcess::errorOccurred, this, [process, done](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // the others end in finished()
        process->deleteLater();
        done(false);
    });
    QTimer::singleShot(copyTimeoutMs, process, [process] { process->kill(); });
    process->start(m_program, arguments);
    process->write(text);
    process->closeWriteChannel();
}

void WlCopyClipboard::place(const QString& text, bool alsoPrimary, std::function<void(bool)> done)
{
    const QByteArray utf8 = text.toUtf8();
    copy(utf8, false, [this, utf8, alsoPrimary, done](bool copied) {
        if (!copied || !alsoPrimary)
            done(copied);
        else
            copy(utf8, true, done);
    });
}

} // namespace quillmote::wayland
