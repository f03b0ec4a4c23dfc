// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"

#include <QFile>

#include <memory>

namespace quillmote::record {

// Appends every posted event to a file as one JSON object per line, flushed per line, for
// tests and for client authors who want to see what each command does. Simulates one
// 1920 x 1080 display with the pointer starting in its middle; mouse events move it.
class RecordSink : public input::EventSink
{
public:
    // Null, with the reason in *error, when the file cannot be opened for appending.
    static std::unique_ptr<RecordSink> open(const QString& path, QString* error);

    QString name() const override { return QStringLiteral("record"); }
    bool isTrusted() override { return true; }
    std::optional<input::Point> pointerLocation() override { return m_pointer; }
    std::optional<std::vector<input::Rect>> activeDisplays() override;
    void post(const input::Event& event) override;
    bool setClipboardText(const QString& text) override;

    // One event as its line, without the line feed.
    static QByteArray format(const input::Event& event);

private:
    explicit RecordSink(std::unique_ptr<QFile> file);
    void writeLine(const QByteArray& line);

    std::unique_ptr<QFile> m_file;
    bool m_writeFailed = false;
    input::Point m_pointer{960.0, 540.0};
};

} // namespace quillmote::record
