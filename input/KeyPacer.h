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
    // The wait while the last keys have yet to go out.
    static constexpr int untilSent = -1;

    // How long events[i] has to wait before it goes out: it presses a key of another kind than
    // the last one that went out (or the modifiers that come with one) less than apartMs ago;
    // 0 for at once, untilSent while they are still on their way.
    int waitBefore(const std::vector<Event>& events, std::size_t i, int apartMs) const;
    // Notes that the event went out.
    void wentOut(const Event& event);
    // The keys that went out are still on their way (queued calls); sent(): now they are there.
    void pending() { m_pending = true; }
    void sent();

private:
    bool m_pending = false;
    QElapsedTimer m_lastKey;
    Kind m_lastKind = Kind::Other;
};

} // namespace quillmote::input
