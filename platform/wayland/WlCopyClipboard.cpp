// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/wayland/WlCopyClipboard.h"

#include <QProcess>

namespace quillmote::wayland {

namespace {
// wl-copy forks its server and returns once it has read the text; wl-paste answers at once.
constexpr int runTimeoutMs = 2000;
const QString textType = QStringLiteral("text/plain;charset=utf-8");
} // namespace

WlCopyClipboard::WlCopyClipboard(QString copyProgram, QString pasteProgram)
    : m_copy(std::move(copyProgram)), m_paste(std::move(pasteProgram))
{
    m_restore.setSingleShot(true);
    m_restore.setInterval(restoreAfterMs);
    connect(&m_restore, &QTimer::timeout, this, &WlCopyClipboard::restore);
}

void WlCopyClipboard::run(const QString& program, const QStringList& arguments, const QByteArray& input,
                          std::function<void(bool, const QByteArray&)> done)
{
    // Owned by this object: its destruction ends a program still running, without an answer.
    auto* process = new QProcess(this);
    connect(process, &QProcess::finished, this, [process, done](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        done(status == QProcess::NormalExit && code == 0, process->readAllStandardOutput());
    });
    connect(process, &QProcess::errorOccurred, this, [process, done](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // the others end in finished()
        process->deleteLater();
        done(false, {});
    });
    QTimer::singleShot(runTimeoutMs, process, [process] { process->kill(); });
    process->start(program, arguments);
    process->write(input);
    process->closeWriteChannel();
}

void WlCopyClipboard::copy(const std::optional<QByteArray>& text, bool primary,
                           std::function<void(bool)> done)
{
    QStringList arguments;
    if (primary)
        arguments << QStringLiteral("--primary");
    // Qt asks for text/plain; wl-copy offers the usual text names beside it.
    if (!text)
        arguments << QStringLiteral("--clear");
    else
        arguments << QStringLiteral("--type") << QStringLiteral("text/plain");
    run(m_copy, arguments, text.value_or(QByteArray()), [done](bool ok, const QByteArray&) { done(ok); });
}

void WlCopyClipboard::save(bool primary, std::function<void()> done)
{
    // A paste that has not given the text back yet keeps what it saved.
    if (m_saved[primary] || m_paste.isEmpty()) {
        done();
        return;
    }
    QStringList arguments{QStringLiteral("--no-newline"), QStringLiteral("--type"), textType};
    if (primary)
        arguments << QStringLiteral("--primary");
    run(m_paste, arguments, {}, [this, primary, done](bool ok, const QByteArray& text) {
        m_saved[primary].emplace(ok ? std::optional<QByteArray>(text) : std::nullopt);
        done();
    });
}

void WlCopyClipboard::place(const QString& text, bool alsoPrimary, std::function<void(bool)> done)
{
    m_restore.stop();
    const QByteArray utf8 = text.toUtf8();
    save(false, [this, utf8, alsoPrimary, done] {
        copy(utf8, false, [this, utf8, alsoPrimary, done](bool copied) {
            m_restore.start();
            if (!copied || !alsoPrimary) {
                done(copied);
                return;
            }
            // Where the compositor has no primary selection (KWin 5.27), the clipboard alone.
            save(true, [this, utf8, done] { copy(utf8, true, [done](bool) { done(true); }); });
        });
    });
}

void WlCopyClipboard::restore()
{
    for (const bool primary : {false, true}) {
        if (std::optional<std::optional<QByteArray>> saved = std::exchange(m_saved[primary], std::nullopt))
            copy(*saved, primary, [](bool) {});
    }
}

} // namespace quillmote::wayland
