// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>

#include <chrono>
#include <functional>

namespace quillmote {

// Slows down guessing of the pairing code, per source: an IPv4 address, or an IPv6 /64 (one
// host can use any address of its prefix). A few wrong codes cost nothing, so a user who
// mistypes pairs at once; beyond them each attempt waits twice as long as the one before, up
// to maxDelay. At maxDelay, 100 sources need about 35 days on average to find a code.
class PairingThrottle
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr int freeFailures = 3;
    static constexpr std::chrono::seconds maxDelay{600};
    // Sources remembered at most; beyond it the longest-quiet one is forgotten.
    static constexpr qsizetype maxSources = 4096;

    explicit PairingThrottle(Clock clock = &std::chrono::steady_clock::now);

    // Whether an attempt from this address may be tested now. Refused attempts count nothing.
    bool allows(const QHostAddress& address) const;
    void recordFailure(const QHostAddress& address);
    void recordSuccess(const QHostAddress& address);

    // The wait imposed after `failures` wrong codes in a row.
    static std::chrono::milliseconds delayAfter(int failures);

private:
    struct Source
    {
        int failures = 0;
        std::chrono::steady_clock::time_point nextAllowed;
        std::chrono::steady_clock::time_point lastSeen;
    };
    static QByteArray sourceKey(const QHostAddress& address);

    Clock m_clock;
    QHash<QByteArray, Source> m_sources;
};

} // namespace quillmote
