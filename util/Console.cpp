// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "util/Console.h"

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace quillmote::console {

namespace {
// Writes queued lines to standard output on a thread of its own, so that a reader that stalls
// (a full pipe, a stopped pager) holds up that thread and never the event loop.
class Writer
{
public:
    static Writer& instance()
    {
        // Never destroyed: the thread may still be blocked in write() while the process exits.
        static Writer* const writer = [] {
            auto* w = new Writer;
            std::atexit([] { Writer::instance().waitUntilWritten(std::chrono::seconds(1)); });
            return w;
        }();
        return *writer;
    }

    void enqueue(QByteArray bytes)
    {
        {
            const std::lock_guard lock(m_mutex);
            if (m_queuedBytes + bytes.size() > maxBacklogBytes) {
                ++m_dropped;
                return;
            }
            queueDroppedNotice();
            m_queuedBytes += bytes.size();
            m_queue.push_back(std::move(bytes));
        }
        m_wake.notify_one();
    }

    bool waitUntilWritten(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        return m_idle.wait_for(lock, timeout, [this] { return m_queue.empty() && !m_writing; });
    }

private:
    Writer()
    {
        std::thread([this] { run(); }).detach();
    }

    // Says how many lines were lost, once there is room again; called with the lock held.
    void queueDroppedNotice()
    {
        if (m_dropped == 0)
            return;
        QByteArray notice = QStringLiteral("(%1 console lines were dropped: standard output was not read)\n")
                                .arg(m_dropped)
                                .toUtf8();
        m_dropped = 0;
        m_queuedBytes += notice.size();
        m_queue.push_back(std::move(notice));
    }

    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return !m_queue.empty(); });
            QByteArray bytes = std::move(m_queue.front());
            m_queue.pop_front();
            m_writing = true;
            lock.unlock();
            writeAll(bytes);
            lock.lock();
            m_queuedBytes -= bytes.size();
            m_writing = false;
            if (m_queue.empty())
                queueDroppedNotice();
            if (m_queue.empty())
                m_idle.notify_all();
        }
    }

    static void writeAll(const QByteArray& bytes)
    {
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(STDOUT_FILENO, data, static_cast<size_t>(left));
            if (n > 0) {
                data += n;
                left -= n;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                // Standard output was handed to us non-blocking: wait here, on this thread.
                pollfd out{STDOUT_FILENO, POLLOUT, 0};
                ::poll(&out, 1, -1);
            } else {
                return; // closed or failed: the line is lost, the server goes on
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<QByteArray> m_queue;
    qsizetype m_queuedBytes = 0;
    qsizetype m_dropped = 0;
    bool m_writing = false;
};

bool needsEscape(char16_t c)
{
    // Controls, line separators, and the bidirectional marks and overrides that would show the
    // rest of a line reordered (an address that reads as another one).
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 || c == 0x061c || c == 0x200e ||
           c == 0x200f || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}
} // namespace

QString escaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!needsEscape(u))
            out += c;
        else if (u <= 0xff)
            out += QStringLiteral("\\x%1").arg(static_cast<uint>(u), 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(static_cast<uint>(u), 4, 16, QLatin1Char('0'));
    }
    return out;
}

void line(const QString& text)
{
    Writer::instance().enqueue(escaped(text).toUtf8() + '\n');
}

bool drain(std::chrono::milliseconds timeout)
{
    return Writer::instance().waitUntilWritten(timeout);
}

RepeatedLines::RepeatedLines(QObject* parent) : QObject(parent)
{
    m_window.setSingleShot(true);
    m_window.setInterval(1000);
    connect(&m_window, &QTimer::timeout, this, &RepeatedLines::flush);
}

void RepeatedLines::line(const QString& kind, const QString& text)
{
    if (!m_window.isActive())
        m_window.start();
    int& count = m_counts[kind];
    ++count;
    if (count <= printedPerSecond)
        console::line(text);
    else if (count == printedPerSecond + 1)
        m_order.append({kind, text});
}

void RepeatedLines::flush()
{
    for (const auto& [kind, text] : std::as_const(m_order)) {
        const int more = m_counts.value(kind) - printedPerSecond;
        console::line(
            QStringLiteral("%1 (%2 more like this in the last second)").arg(text, QString::number(more)));
    }
    m_counts.clear();
    m_order.clear();
}

} // namespace quillmote::console
