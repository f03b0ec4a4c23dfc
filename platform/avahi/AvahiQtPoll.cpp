// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/avahi/AvahiQtPoll.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <avahi-common/timeval.h>

#include <memory>

// Avahi declares these opaque; the poll implementation defines them.
struct AvahiWatch : QObject
{
    AvahiWatch(int fd, AvahiWatchEvent events, AvahiWatchCallback callback, void* userdata)
        : m_fd(fd), m_callback(callback), m_userdata(userdata)
    {
        setEvents(events);
    }

    void setEvents(AvahiWatchEvent events)
    {
        setNotifier(m_read, QSocketNotifier::Read, events & AVAHI_WATCH_IN, AVAHI_WATCH_IN);
        setNotifier(m_write, QSocketNotifier::Write, events & AVAHI_WATCH_OUT, AVAHI_WATCH_OUT);
    }

    // Freed from inside its own callback as often as not, so deletion waits for the loop.
    void dispose()
    {
        if (m_read)
            m_read->setEnabled(false);
        if (m_write)
            m_write->setEnabled(false);
        m_callback = nullptr;
        deleteLater();
    }

    AvahiWatchEvent m_lastEvent = static_cast<AvahiWatchEvent>(0);

private:
    void setNotifier(std::unique_ptr<QSocketNotifier>& notifier, QSocketNotifier::Type type, bool wanted,
                     AvahiWatchEvent event)
    {
        if (!wanted) {
            if (notifier)
                notifier->setEnabled(false);
            return;
        }
        if (!notifier) {
            notifier = std::make_unique<QSocketNotifier>(m_fd, type);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, this,
                             [this, event] { fire(event); });
        }
        notifier->setEnabled(true);
    }

    void fire(AvahiWatchEvent event)
    {
        if (!m_callback)
            return;
        m_lastEvent = event;
        m_callback(this, m_fd, event, m_userdata);
        m_lastEvent = static_cast<AvahiWatchEvent>(0);
    }

    int m_fd;
    AvahiWatchCallback m_callback;
    void* m_userdata;
    std::unique_ptr<QSocketNotifier> m_read;
    std::unique_ptr<QSocketNotifier> m_write;
};

struct AvahiTimeout : QObject
{
    AvahiTimeout(const timeval* tv, AvahiTimeoutCallback callback, void* userdata)
        : m_callback(callback), m_userdata(userdata)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            if (m_callback)
                m_callback(this, m_userdata);
        });
        update(tv);
    }

    void update(const timeval* tv)
    {
        m_timer.stop();
        if (!tv)
            return;
        // Avahi's times are absolute; avahi_age is how long ago (negative: how far ahead).
        const AvahiUsec age = avahi_age(tv);
        m_timer.start(age >= 0 ? 0 : static_cast<int>(std::min<AvahiUsec>(-age / 1000 + 1, INT32_MAX)));
    }

    void dispose()
    {
        m_timer.stop();
        m_callback = nullptr;
        deleteLater();
    }

private:
    QTimer m_timer;
    AvahiTimeoutCallback m_callback;
    void* m_userdata;
};

namespace quillmote::avahi {

AvahiQtPoll::AvahiQtPoll() : m_poll()
{
    m_poll.userdata = this;
    m_poll.watch_new = [](const AvahiPoll*, int fd, AvahiWatchEvent events, AvahiWatchCallback callback,
                          void* userdata) -> AvahiWatch* {
        return new AvahiWatch(fd, events, callback, userdata);
    };
    m_poll.watch_update = [](AvahiWatch* watch, AvahiWatchEvent events) { watch->setEvents(events); };
    m_poll.watch_get_events = [](AvahiWatch* watch) { return watch->m_lastEvent; };
    m_poll.watch_free = [](AvahiWatch* watch) { watch->dispose(); };
    m_poll.timeout_new = [](const AvahiPoll*, const timeval* tv, AvahiTimeoutCallback callback,
                            void* userdata) -> AvahiTimeout* {
        return new AvahiTimeout(tv, callback, userdata);
    };
    m_poll.timeout_update = [](AvahiTimeout* timeout, const timeval* tv) { timeout->update(tv); };
    m_poll.timeout_free = [](AvahiTimeout* timeout) { timeout->dispose(); };
}

} // namespace quillmote::avahi
