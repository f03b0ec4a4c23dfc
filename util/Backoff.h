// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <algorithm>

namespace quillmote {

// A retry delay that doubles from a first value up to a ceiling while a failure lasts, so a
// lasting failure costs little and a short one is retried soon.
class Backoff
{
public:
    constexpr Backoff(int firstMs, int maxMs) : m_firstMs(firstMs), m_maxMs(maxMs) {}

    // Whether a failure is under way (next() was called since the last reset()).
    bool active() const { return m_currentMs != 0; }
    int next()
    {
        m_currentMs = m_currentMs == 0 ? m_firstMs : std::min(m_currentMs * 2, m_maxMs);
        return m_currentMs;
    }
    void reset() { m_currentMs = 0; }

private:
    int m_firstMs;
    int m_maxMs;
    int m_currentMs = 0;
};

} // namespace quillmote
