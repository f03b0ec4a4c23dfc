// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"

#include <QElapsedTimer>

#include <vector>

namespace quillmote::input {

// Keeps keys of different kinds apart in time, where applications take them in separately:
// LibreOffice collects typed characters while more keys are queued and inserts them once the queue
// is empty, inserts a character beyond the Basic Multilingual Plane at once, and acts on Enter,
// Backspace and shortcuts at once; an Enter sent right behind a text went in before it. How far
// apart depends on the way the keys take.
class KeyPacer
{
public:
    enum class Kind { Text, WideText, Other };

    explicit KeyPacer(int apartMs) : m_apartMs(apartMs) {}

    // How long events[i] has to wait before it goes out: it presses a key of another kind than
    // the last one that went out (or the modifiers that come with one); 0 for at once.
    int waitBefore(const std::vector<Event>& events, std::size_t i) const;
    // Notes that the event went out.
    void wentOut(const Event& event);

private:
    int m_apartMs;
    QElapsedTimer m_lastKey;
    Kind m_lastKind = Kind::Other;
};

} // namespace quillmote::input
