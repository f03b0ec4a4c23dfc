// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/InputAccess.h"
#include "input/InputBackend.h"

#include <QFile>

#include <memory>
#include <optional>

namespace quillmote::record {

// One line per event appended to the record file, flushed per line; a write that fails is said
// once, since every event would say it again.
class RecordFile
{
public:
    RecordFile(std::unique_ptr<QFile> file, QString path) : m_file(std::move(file)), m_path(std::move(path))
    {
    }
    void write(const input::Event& event);

private:
    std::unique_ptr<QFile> m_file;
    QString m_path;
    bool m_writeFailed = false;
};

// Records every event instead of posting it, for tests and for client authors who want to see
// what each command does. Simulates one 1920 x 1080 display with the pointer starting in its
// middle; pointer events move it.
class RecordSink : public input::EventSink
{
public:
    // The sink, and a clipboard that records the pasted text, on one file; empty, with the
    // reason in *error, when the file cannot be opened for appending. Recording is always
    // allowed: access is granted once the file is open.
    static std::optional<input::InputBackend> open(const QString& path, input::InputAccess& access,
                                                   QString* error);

    explicit RecordSink(std::shared_ptr<RecordFile> file) : m_file(std::move(file)) {}
    QString name() const override { return QStringLiteral("record"); }
    std::optional<input::Point> pointerLocation() override { return m_pointer; }
    std::optional<std::vector<input::Rect>> activeDisplays() override;
    void post(const input::Event& event) override;

private:
    std::shared_ptr<RecordFile> m_file;
    input::Point m_pointer{960.0, 540.0};
};

} // namespace quillmote::record
