// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QTimer>

#include <chrono>

namespace quillmote::console {

// One line on standard output, written at once by a writer thread: client authors and scripts
// follow the headless output live, and console lines are never translated. The caller never
// waits for the write: when nobody reads standard output, lines beyond a bounded backlog are
// dropped and their number is printed once output flows again. Control characters are
// escaped, so text from a peer can neither break a line nor forge one.
void line(const QString& text);

// Waits until every queued line was written, at most `timeout`; true when all were.
bool drain(std::chrono::milliseconds timeout);

// The text as it is printed: C0 and C1 controls, DEL, the Unicode line separators and the
// bidirectional controls as \xNN or \uNNNN.
QString escaped(QStringView text);

// Bytes queued for writing at most; what does not fit is dropped and counted.
inline constexpr qsizetype maxBacklogBytes = 64 * 1024;

// Per-connection lines that a flood of peers can repeat (disconnects, read errors): the first
// few of the same text in a second are printed as they come, the rest as one line with their
// number at the end of that second.
class RepeatedLines : public QObject
{
    Q_OBJECT
public:
    static constexpr int printedPerSecond = 3;

    explicit RepeatedLines(QObject* parent = nullptr);
    void line(const QString& text) { line(text, text); }
    // Lines of one kind whose texts differ (an address in them): counted together; the summary
    // repeats the first text that was held back.
    void line(const QString& kind, const QString& text);

private:
    void flush();

    QTimer m_window;
    QHash<QString, int> m_counts;               // by kind
    QList<std::pair<QString, QString>> m_order; // kinds with held-back lines and their first text, in order
};

} // namespace quillmote::console
