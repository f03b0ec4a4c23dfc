// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>

#include <chrono>
#include <functional>

namespace quillmote {

// Slows down guessing of the pairing code.
//
// Per source (an IPv4 address, or an IPv6 /64, since one host can use any address of its
// prefix): a few wrong codes cost nothing, so a user who mistypes pairs at once; beyond them
// each attempt waits twice as long as the one before, up to maxDelay.
//
// Across all sources, since an attacker can have any number of them (all of 127.0.0.0/8 is
// every local user's): wrong codes that were checked draw on one budget of `burst`, refilled by
// one every `refillInterval`. Attempts a source's own limit refused draw nothing, so one noisy
// source cannot lock the others out. With the budget spent, only addresses that paired before
// have their codes checked; at one check per 6 s the expected time to find a code is 35 days.
//
// Nothing strangers can fill stands in the way of a phone with a right to pair: an address that
// paired before, and a proof (which cannot be guessed, so it is limited per address, not per
// /64), count only against records of their own.
class PairingThrottle
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr int freeFailures = 3;
    static constexpr std::chrono::seconds maxDelay{600};
    static constexpr int burst = 20;
    static constexpr std::chrono::seconds refillInterval{6};
    // Sources remembered at most. A full table forgets only sources quiet for forgetAfter;
    // strangers beyond it have no record (the shared budget still bounds their codes), while
    // addresses that paired before always get theirs.
    static constexpr qsizetype maxSources = 4096;
    static constexpr std::chrono::hours forgetAfter{1};
    // Addresses that paired successfully, remembered at most (least recent forgotten).
    static constexpr qsizetype maxTrusted = 64;

    explicit PairingThrottle(Clock clock = &std::chrono::steady_clock::now);

    // Whether a code from this address may be checked now. Refused attempts count nothing.
    bool allows(const QHostAddress& address);
    // Whether a proof that cannot be guessed (the browser remote's link secret) may be checked:
    // only the source's own limit applies, not the budget shared by all sources.
    bool allowsProof(const QHostAddress& address);
    // A wrong code draws on the shared budget; a wrong proof only slows its own source.
    void recordFailure(const QHostAddress& address, bool drawsOnBudget = true);
    void recordSuccess(const QHostAddress& address);

    // The wait imposed after `failures` wrong codes in a row.
    static std::chrono::milliseconds delayAfter(int failures);
    // Expected time to find a code when the global budget is the only limit.
    static std::chrono::hours expectedTimeToGuess();

    qsizetype sourceCount() const { return m_sources.size(); }
    // Wrong codes checked since construction.
    quint64 checkedFailures() const { return m_checkedFailures; }

private:
    struct Source
    {
        int failures = 0;
        std::chrono::steady_clock::time_point nextAllowed;
        std::chrono::steady_clock::time_point lastSeen;
    };
    // The record an address counts against: its /64 for IPv6, but an address that paired before
    // has one of its own, so that its neighbours' wrong codes never lock it out.
    QByteArray sourceKey(const QHostAddress& address, bool proof = false) const;
    bool waits(const QByteArray& key, std::chrono::steady_clock::time_point now) const;
    // Null where the table is full of strangers still slowed down and the address is one too.
    Source* sourceFor(const QHostAddress& address, const QByteArray& key,
                      std::chrono::steady_clock::time_point now);
    void refill(std::chrono::steady_clock::time_point now);

public:
    // Whether the address paired successfully before (and is remembered).
    bool isTrusted(const QHostAddress& address) const;

private:
    Clock m_clock;
    QHash<QByteArray, Source> m_sources;
    QHash<QHostAddress, std::chrono::steady_clock::time_point> m_trusted;
    double m_budget = burst;
    std::chrono::steady_clock::time_point m_lastRefill;
    quint64 m_checkedFailures = 0;
};

} // namespace quillmote
