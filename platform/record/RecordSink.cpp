// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/record/RecordSink.h"

#include "util/Console.h"

#include <charconv>
#include <cmath>

namespace quillmote::record {

namespace {
// Shortest text that reads back as the same double, always with a fraction part ("970.0").
QByteArray real(double value)
{
    if (!std::isfinite(value))
        return "null"; // JSON has no infinities; the controller never posts them anyway
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QByteArray text(buffer, result.ptr - buffer);
    if (!text.contains('.') && !text.contains('e'))
        text += ".0";
    return text;
}

QByteArray jsonString(const QString& text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += QByteArray("\\u00") + QByteArray::number(byte, 16).rightJustified(2, '0');
        } else {
            out += c;
        }
    }
    return out + '"';
}

template <typename T> QByteArray num(T value)
{
    return QByteArray::number(value);
}
} // namespace

std::unique_ptr<RecordSink> RecordSink::open(const QString& path, QString* error)
{
    auto file = std::make_unique<QFile>(path);
    // Typed text ends up here: only its owner may read it.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        *error = file->errorString();
        return nullptr;
    }
    return std::unique_ptr<RecordSink>(new RecordSink(std::move(file)));
}

RecordSink::RecordSink(std::unique_ptr<QFile> file) : m_file(std::move(file)) {}

std::optional<std::vector<input::Rect>> RecordSink::activeDisplays()
{
    return std::vector<input::Rect>{{0.0, 0.0, 1920.0, 1080.0}};
}

QByteArray RecordSink::format(const input::Event& event)
{
    return std::visit(
        [](const auto& e) -> QByteArray {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, input::MouseEvent>)
                return "{\"event\":\"mouse\",\"type\":" + num(e.type) + ",\"x\":" + real(e.location.x) +
                       ",\"y\":" + real(e.location.y) + ",\"button\":" + num(e.button) +
                       ",\"clickState\":" + num(e.clickState) + ",\"deltaX\":" + num(e.deltaX) +
                       ",\"deltaY\":" + num(e.deltaY) + ",\"deltaXf\":" + real(e.deltaXf) +
                       ",\"deltaYf\":" + real(e.deltaYf) + "}";
            else if constexpr (std::is_same_v<T, input::KeyEvent>)
                return "{\"event\":\"key\",\"keyCode\":" + num(e.keyCode) +
                       ",\"down\":" + (e.down ? "true" : "false") + ",\"flags\":" + num(e.flags) + "}";
            else if constexpr (std::is_same_v<T, input::ScrollEvent>)
                return "{\"event\":\"scroll\",\"unit\":" + num(e.unit) + ",\"wheel1\":" + num(e.wheel1) +
                       ",\"wheel2\":" + num(e.wheel2) + ",\"wheel3\":" + num(e.wheel3) + "}";
            else
                return "{\"event\":\"system\",\"subtype\":" + num(e.subtype) + ",\"data1\":" + num(e.data1) +
                       ",\"data2\":" + num(e.data2) + ",\"flags\":" + num(e.flags) + "}";
        },
        event);
}

void RecordSink::post(const input::Event& event)
{
    if (const auto* mouse = std::get_if<input::MouseEvent>(&event))
        m_pointer = mouse->location;
    writeLine(format(event));
}

bool RecordSink::setClipboardText(const QString& text)
{
    writeLine("{\"event\":\"clipboard\",\"text\":" + jsonString(text) + "}");
    return true;
}

void RecordSink::writeLine(const QByteArray& line)
{
    const QByteArray bytes = line + '\n';
    if (m_file->write(bytes) == bytes.size() || m_writeFailed)
        return;
    // A full disk or a removed medium: said once, since every event would say it again.
    m_writeFailed = true;
    console::line(QStringLiteral("Cannot write to the record file %1: %2; events are not recorded")
                      .arg(m_file->fileName(), m_file->errorString()));
}

} // namespace quillmote::record
