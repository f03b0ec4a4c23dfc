// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <array>
#include <chrono>
#include <numeric>

namespace quillmote {

// How many events happened in the last minute, in one-second steps, in constant memory
// whatever the rate.
class RecentCount
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    void add(TimePoint now)
    {
        advance(now);
        ++m_perSecond[slot(m_second)];
    }

    int total(TimePoint now)
    {
        advance(now);
        return std::accumulate(m_perSecond.begin(), m_perSecond.end(), 0);
    }

private:
    static constexpr long long seconds = 60;
    static std::size_t slot(long long second) { return static_cast<std::size_t>(second % seconds); }

    void advance(TimePoint now)
    {
        const long long second =
            std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
        if (second <= m_second)
            return;
        if (second - m_second >= seconds)
            m_perSecond.fill(0);
        else
            for (long long s = m_second + 1; s <= second; ++s)
                m_perSecond[slot(s)] = 0;
        m_second = second;
    }

    std::array<int, seconds> m_perSecond{};
    long long m_second = 0;
};

} // namespace quillmote
