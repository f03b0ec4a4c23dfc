// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/PointerState.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quillmote::input {

int WheelSteps::take(std::int32_t pixels)
{
    if ((pixels < 0 && m_remainder > 0) || (pixels > 0 && m_remainder < 0))
        m_remainder = 0;
    const long long total = static_cast<long long>(m_remainder) + pixels;
    const long long notches = total / m_pixelsPerNotch;
    m_remainder = static_cast<int>(total - notches * m_pixelsPerNotch);
    return static_cast<int>(std::clamp<long long>(notches, -maxNotchesPerEvent, maxNotchesPerEvent));
}

std::pair<int, int> SubPixelMotion::take(double dx, double dy)
{
    const auto step = [](double& rest, double delta) {
        if (!std::isfinite(delta))
            return 0;
        const double total = std::clamp(rest + delta, double(-maxStep), double(maxStep));
        const double whole = std::trunc(total);
        rest = total - whole;
        return static_cast<int>(whole);
    };
    return {step(m_restX, dx), step(m_restY, dy)};
}

} // namespace quillmote::input
