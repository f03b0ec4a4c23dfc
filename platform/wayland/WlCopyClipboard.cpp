// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/wayland/WlCopyClipboard.h"

#include <QProcess>

namespace quillmote::wayland {

namespace {
// wl-copy forks its server and returns once it has read the text.
constexpr int copyTimeoutMs = 2000;
} // namespace

bool WlCopyClipboard::copy(const QByteArray& text, bool primary)
{
    QProcess process;
    QStringList arguments{QStringLiteral("--type"), QStringLiteral("text/plain;charset=utf-8")};
    if (primary)
        arguments << QStringLiteral("--primary");
    process.start(m_program, arguments);
    if (!process.waitForStarted(copyTimeoutMs))
        return false;
    process.write(text);
    process.closeWriteChannel();
    if (!process.waitForFinished(copyTimeoutMs)) {
        process.kill();
        process.waitForFinished(copyTimeoutMs);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool WlCopyClipboard::setText(const QString& text, bool alsoPrimary)
{
    const QByteArray utf8 = text.toUtf8();
    return copy(utf8, false) && (!alsoPrimary || copy(utf8, true));
}

} // namespace quillmote::wayland
