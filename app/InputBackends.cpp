// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/InputBackends.h"

#include "platform/record/RecordSink.h"
#include "platform/x11/X11Sink.h"
#include "util/Console.h"

namespace quillmote {

std::unique_ptr<input::EventSink> createEventSink(const QString& choice, QString* error)
{
    std::unique_ptr<input::EventSink> sink;
    if (choice.startsWith(QLatin1String("record:"))) {
        const QString path = choice.mid(7);
        QString reason;
        sink = record::RecordSink::open(path, &reason);
        if (!sink) {
            *error = QStringLiteral("cannot open %1 for recording: %2").arg(path, reason);
            return nullptr;
        }
    } else if (choice == QLatin1String("x11") || choice == QLatin1String("auto")) {
        QString reason;
        sink = x11::X11Sink::open(qgetenv("DISPLAY"), &reason);
        if (!sink && choice == QLatin1String("x11")) {
            *error = reason;
            return nullptr;
        }
        if (!sink)
            console::line(QStringLiteral("No X display (%1); input is not posted").arg(reason));
    }
    if (!sink)
        sink = std::make_unique<input::NoneSink>();
    console::line(QStringLiteral("Input backend: ") + sink->name());
    return sink;
}

} // namespace quillmote
