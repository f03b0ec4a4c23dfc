// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "protocol/PairingThrottle.h"

#include <algorithm>

namespace quillmote {

PairingThrottle::PairingThrottle(Clock clock) : m_clock(std::move(clock)) {}

QByteArray PairingThrottle::sourceKey(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also unwraps ::ffff:a.b.c.d
    if (isV4)
        return QByteArray::number(v4);
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char*>(v6.c), 8); // the /64 prefix
}

std::chrono::milliseconds PairingThrottle::delayAfter(int failures)
{
    if (failures <= freeFailures)
        return std::chrono::milliseconds(0);
    const int doublings = std::min(failures - freeFailures - 1, 20);
    const std::chrono::milliseconds delay = std::chrono::seconds(1) * (1 << doublings);
    return std::min<std::chrono::milliseconds>(delay, maxDelay);
}

bool PairingThrottle::allows(const QHostAddress& address) const
{
    const auto it = m_sources.constFind(sourceKey(address));
    return it == m_sources.cend() || m_clock() >= it->nextAllowed;
}

void PairingThrottle::recordFailure(const QHostAddress& address)
{
    const auto now = m_clock();
    const QByteArray key = sourceKey(address);
    if (!m_sources.contains(key) && m_sources.size() >= maxSources) {
        const auto quietest =
            std::min_element(m_sources.cbegin(), m_sources.cend(),
                             [](const Source& a, const Source& b) { return a.lastSeen < b.lastSeen; });
        m_sources.erase(quietest);
    }
    Source& source = m_sources[key];
    source.failures += 1;
    source.lastSeen = now;
    source.nextAllowed = now + delayAfter(source.failures);
}

void PairingThrottle::recordSuccess(const QHostAddress& address)
{
    m_sources.remove(sourceKey(address));
}

} // namespace quillmote
