// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/record/RecordSink.h"

#include "platform/record/QuartzEncoding.h"
#include "util/Console.h"
#include "util/Overloaded.h"
#include "util/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
                      .arg(m_path, m_file->errorString()));
}

std::optional<input::InputBackend> RecordSink::open(const QString& path, input::InputAccess& access,
                                                    QString* error)
{
    // Typed text ends up here: only its owner may read it, and only a file of ours is written,
    // never through a link or into another user's file.
    UniqueFd fd(::open(QFile::encodeName(path).constData(),
                       O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat st = {};
    if (!fd) {
        *error = errno == ELOOP ? QStringLiteral("it is a symbolic link")
                                : QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    if (::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid()) {
        *error = QStringLiteral("it belongs to another user");
        return std::nullopt;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(fd.get(), QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        *error = file->errorString();
        return std::nullopt;
    }
    fd.release();
    const auto shared = std::make_shared<RecordFile>(std::move(file), path);
    input::InputBackend backend;
    backend.sink = std::make_unique<RecordSink>(shared);
    backend.clipboard = std::make_unique<RecordClipboard>(shared);
    access.setState(input::InputAccess::State::Granted);
    return backend;
}

std::optional<std::vector<input::Rect>> RecordSink::activeDisplays()
{
    return std::vector<input::Rect>{{0.0, 0.0, 1920.0, 1080.0}};
}

void RecordSink::post(const input::Event& event)
{
    // Pointer events move the simulated pointer; every event is recorded.
    std::visit(Overloaded{
                   [this](const input::PointerMotion& motion) { m_pointer = motion.to; },
                   [this](const input::ButtonChange& button) { m_pointer = button.at; },
                   [](const input::WheelScroll&) {},
                   [](const input::KeyChange&) {},
                   [](const input::MediaKey&) {},
                   [](const input::ClipboardText&) {},
               },
               event);
    m_file->write(event);
}

} // namespace quillmote::record
