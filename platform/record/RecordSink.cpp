// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/record/RecordSink.h"

#include "platform/record/QuartzEncoding.h"
#include "util/Console.h"

namespace quillmote::record {

namespace {
class RecordClipboard : public input::ClipboardOwner
{
public:
    explicit RecordClipboard(std::shared_ptr<RecordFile> file) : m_file(std::move(file)) {}
    QString name() const override { return QStringLiteral("record"); }
    void place(const QString& text, bool alsoPrimary, std::function<void(bool)> done) override
    {
        m_file->write(input::ClipboardText{text, alsoPrimary});
        done(true);
    }

private:
    std::shared_ptr<RecordFile> m_file;
};
} // namespace

void RecordFile::write(const input::Event& event)
{
    const QByteArray line = recordLine(event);
    if (line.isEmpty())
        return;
    const QByteArray bytes = line + '\n';
    if (m_file->write(bytes) == bytes.size() || m_writeFailed)
        return;
    // A full disk or a removed medium.
    m_writeFailed = true;
    console::line(QStringLiteral("Cannot write to the record file %1: %2; events are not recorded")
                      .arg(m_file->fileName(), m_file->errorString()));
}

std::optional<input::InputBackend> RecordSink::open(const QString& path, QString* error)
{
    auto file = std::make_unique<QFile>(path);
    // Typed text ends up here: only its owner may read it.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        *error = file->errorString();
        return std::nullopt;
    }
    const auto shared = std::make_shared<RecordFile>(std::move(file));
    input::InputBackend backend;
    backend.sink = std::make_unique<RecordSink>(shared);
    backend.clipboard = std::make_unique<RecordClipboard>(shared);
    return backend;
}

std::optional<std::vector<input::Rect>> RecordSink::activeDisplays()
{
    return std::vector<input::Rect>{{0.0, 0.0, 1920.0, 1080.0}};
}

void RecordSink::post(const input::Event& event)
{
    if (const auto* motion = std::get_if<input::PointerMotion>(&event))
        m_pointer = motion->to;
    else if (const auto* button = std::get_if<input::ButtonChange>(&event))
        m_pointer = button->at;
    m_file->write(event);
}

} // namespace quillmote::record
