// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/PairingThrottle.h"

#include <algorithm>

namespace quillmote {

using std::chrono::steady_clock;

PairingThrottle::PairingThrottle(Clock clock) : m_clock(std::move(clock)), m_lastRefill(m_clock()) {}

QByteArray PairingThrottle::sourceKey(const QHostAddress& address, bool proof) const
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also unwraps ::ffff:a.b.c.d
    if (isV4)
        return QByteArray::number(v4);
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    const bool own = proof || isTrusted(address);
    return QByteArray(reinterpret_cast<const char*>(v6.c), own ? 16 : 8) + (own ? "/128" : "/64");
}

std::chrono::milliseconds PairingThrottle::delayAfter(int failures)
{
    if (failures <= freeFailures)
        return std::chrono::milliseconds(0);
    const int doublings = std::min(failures - freeFailures - 1, 20);
    const std::chrono::milliseconds delay = std::chrono::seconds(1) * (1 << doublings);
    return std::min<std::chrono::milliseconds>(delay, maxDelay);
}

std::chrono::hours PairingThrottle::expectedTimeToGuess()
{
    // Half of the million codes, on average, after the burst.
    return std::chrono::duration_cast<std::chrono::hours>((500'000 - burst) * refillInterval);
}

bool PairingThrottle::waits(const QByteArray& key, steady_clock::time_point now) const
{
    const auto it = m_sources.constFind(key);
    return it != m_sources.cend() && now < it->nextAllowed;
}

PairingThrottle::Source* PairingThrottle::sourceFor(const QHostAddress& address, const QByteArray& key,
                                                    steady_clock::time_point now)
{
    const auto it = m_sources.find(key);
    if (it != m_sources.end())
        return &*it;
    if (m_sources.size() >= maxSources) {
        // Only sources whose history no longer matters are forgotten; forgetting a source that
        // is still being slowed down would hand it fresh free tries.
        m_sources.removeIf([now](const auto& entry) {
            return now - entry.value().lastSeen >= forgetAfter && now >= entry.value().nextAllowed;
        });
        // Beyond the table only addresses that paired before (at most maxTrusted of them).
        if (m_sources.size() >= maxSources && !isTrusted(address))
            return nullptr;
    }
    return &m_sources[key];
}

void PairingThrottle::refill(steady_clock::time_point now)
{
    const std::chrono::duration<double> elapsed = now - m_lastRefill;
    m_lastRefill = now;
    if (elapsed.count() > 0)
        m_budget = std::min<double>(burst, m_budget + elapsed / refillInterval);
}

bool PairingThrottle::isTrusted(const QHostAddress& address) const
{
    return m_trusted.contains(address);
}

bool PairingThrottle::allows(const QHostAddress& address)
{
    const steady_clock::time_point now = m_clock();
    if (waits(sourceKey(address), now))
        return false;
    refill(now);
    return m_budget >= 1.0 || isTrusted(address);
}

bool PairingThrottle::allowsProof(const QHostAddress& address)
{
    return !waits(sourceKey(address, true), m_clock());
}

void PairingThrottle::recordFailure(const QHostAddress& address, bool drawsOnBudget)
{
    const steady_clock::time_point now = m_clock();
    if (drawsOnBudget) {
        refill(now);
        m_budget = std::max(0.0, m_budget - 1.0);
        ++m_checkedFailures;
    }
    // Only codes draw on the budget; proofs are counted per address.
    Source* source = sourceFor(address, sourceKey(address, !drawsOnBudget), now);
    if (!source)
        return;
    source->failures += 1;
    source->lastSeen = now;
    source->nextAllowed = now + delayAfter(source->failures);
}

void PairingThrottle::recordSuccess(const QHostAddress& address)
{
    m_sources.remove(sourceKey(address));
    m_sources.remove(sourceKey(address, true));
    // Any local user can send from a loopback address, so none of them is vouched for.
    if (address.isLoopback())
        return;
    if (!m_trusted.contains(address) && m_trusted.size() >= maxTrusted) {
        const auto oldest = std::min_element(m_trusted.cbegin(), m_trusted.cend());
        m_trusted.erase(oldest);
    }
    m_trusted.insert(address, m_clock());
}

} // namespace quillmote
