// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/wayland/WlCopyClipboard.h"

#include <QProcess>

#include <algorithm>

namespace quillmote::wayland {

namespace {
// wl-copy forks its server and returns once it has read the content.
constexpr int copyTimeoutMs = 2000;
const QString textType = QStringLiteral("text/plain;charset=utf-8");

bool isText(const QString& type)
{
    return type == textType || type == u"UTF8_STRING" || type == u"text/plain" || type == u"STRING" ||
           type == u"TEXT";
}

// The kind of content to keep: the text where there is one (what a paste replaces), else an image
// (PNG where offered), else the first kind.
QString keptType(const QStringList& types)
{
    if (types.contains(textType))
        return textType;
    if (const auto text = std::find_if(types.begin(), types.end(), isText); text != types.end())
        return *text;
    if (types.contains(u"image/png"))
        return QStringLiteral("image/png");
    const auto image =
        std::find_if(types.begin(), types.end(), [](const QString& t) { return t.startsWith(u"image/"); });
    return image != types.end() ? *image : types.value(0);
}
} // namespace

WlCopyClipboard::WlCopyClipboard(QString copyProgram, QString pasteProgram)
    : m_copy(std::move(copyProgram)), m_paste(std::move(pasteProgram))
{
    m_restore.setSingleShot(true);
    m_restore.setInterval(restoreAfterMs);
    connect(&m_restore, &QTimer::timeout, this, &WlCopyClipboard::restore);
}

void WlCopyClipboard::run(const QString& program, const QStringList& arguments, const QByteArray& input,
                          int timeoutMs, std::function<void(const Output&)> done)
{
    // Owned by this object: its destruction ends a program still running, without an answer.
    auto* process = new QProcess(this);
    connect(process, &QProcess::finished, this, [process, done](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        done({status == QProcess::NormalExit && code == 0, process->readAllStandardOutput(),
              process->readAllStandardError()});
    });
    connect(process, &QProcess::errorOccurred, this, [process, done](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // the others end in finished()
        process->deleteLater();
        done({});
    });
    // Output beyond what is kept ends the reading: it would not be given back whole anyway.
    connect(process, &QProcess::readyReadStandardOutput, process, [process] {
        if (process->bytesAvailable() > maxSavedBytes)
            process->kill();
    });
    QTimer::singleShot(timeoutMs, process, [process] { process->kill(); });
    process->start(program, arguments);
    process->write(input);
    process->closeWriteChannel();
}

void WlCopyClipboard::copy(const std::optional<Saved>& content, bool primary, std::function<void(bool)> done)
{
    QStringList arguments;
    if (primary)
        arguments << QStringLiteral("--primary");
    if (!content || content->kind != Saved::Kind::Content)
        arguments << QStringLiteral("--clear");
    else // a text type makes wl-copy offer the usual text names beside it
        arguments << QStringLiteral("--type") << content->type;
    run(m_copy, arguments, content ? content->data : QByteArray(), copyTimeoutMs,
        [done](const Output& output) { done(output.ok); });
}

void WlCopyClipboard::save(bool primary, std::function<void()> done)
{
    // A paste that has not given the content back yet keeps what it saved.
    if (m_saved[primary] || m_paste.isEmpty()) {
        done();
        return;
    }
    m_saved[primary].emplace();
    const QStringList selection = primary ? QStringList{QStringLiteral("--primary")} : QStringList{};
    run(m_paste, QStringList{QStringLiteral("--list-types")} + selection, {}, listTimeoutMs,
        [this, primary, selection, done](const Output& list) {
            if (!list.ok) {
                // wl-paste says so when nothing is copied; anything else (a hung owner) is unknown.
                if (list.err.contains("Nothing is copied") || list.err.contains("No selection"))
                    m_saved[primary]->kind = Saved::Kind::Empty;
                done();
                return;
            }
            const QString type = keptType(QString::fromUtf8(list.out).split(u'\n', Qt::SkipEmptyParts));
            QStringList arguments{QStringLiteral("--type"), type};
            if (isText(type))
                arguments << QStringLiteral("--no-newline");
            run(m_paste, arguments + selection, {}, readTimeoutMs,
                [this, primary, type, done](const Output& read) {
                    if (read.ok && read.out.size() <= maxSavedBytes)
                        *m_saved[primary] = Saved{Saved::Kind::Content, type, read.out};
                    done();
                });
        });
}

void WlCopyClipboard::place(const QString& text, bool alsoPrimary, std::function<void(bool)> done)
{
    m_restore.stop();
    const QByteArray utf8 = text.toUtf8();
    const Saved pasted{Saved::Kind::Content, QStringLiteral("text/plain"), utf8};
    save(false, [this, pasted, alsoPrimary, done] {
        copy(pasted, false, [this, pasted, alsoPrimary, done](bool copied) {
            m_placed = pasted.data;
            m_restore.start();
            if (!copied || !alsoPrimary) {
                done(copied);
                return;
            }
            // Where the compositor has no primary selection (KWin 5.27), the clipboard alone.
            save(true, [this, pasted, done] { copy(pasted, true, [done](bool) { done(true); }); });
        });
    });
}

void WlCopyClipboard::restore()
{
    for (const bool primary : {false, true}) {
        if (!m_saved[primary])
            continue;
        // Written back only over the pasted text: whatever else is there, the user copied since
        // (or it cannot be read, and is left alone).
        QStringList arguments{QStringLiteral("--no-newline"), QStringLiteral("--type"), textType};
        if (primary)
            arguments << QStringLiteral("--primary");
        run(m_paste, arguments, {}, readTimeoutMs, [this, primary](const Output& now) {
            // A paste begun meanwhile keeps what was saved, to give it back after itself.
            if (m_restore.isActive() || !m_saved[primary])
                return;
            const std::optional<Saved> saved = std::exchange(m_saved[primary], std::nullopt);
            if (now.ok && now.out == m_placed)
                copy(saved, primary, [](bool) {});
        });
    }
}

} // namespace quillmote::wayland
