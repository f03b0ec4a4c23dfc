// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <avahi-common/watch.h>

namespace quillmote::avahi {

// Runs avahi-client on the Qt event loop of the thread that creates it: watches become socket
// notifiers and timeouts single-shot timers, so every Avahi callback arrives on that thread.
class AvahiQtPoll
{
public:
    AvahiQtPoll();
    AvahiQtPoll(const AvahiQtPoll&) = delete;
    AvahiQtPoll& operator=(const AvahiQtPoll&) = delete;

    const AvahiPoll* poll() const { return &m_poll; }

private:
    AvahiPoll m_poll;
};

} // namespace quillmote::avahi
