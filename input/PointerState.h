// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace quillmote::input {

// Wheel travel in pixels becomes whole notches; the rest waits for the next scroll in the same
// direction, so slow scrolling still turns the wheel. A scroll the other way starts afresh: the
// rest of the old direction would swallow a short scroll back.
class WheelSteps
{
public:
    // A wheel notch scrolls 45 to 95 pixels in GTK, Qt and Firefox windows on X11 (GTK: the page
    // height to the power 2/3; Qt: three lines; Firefox: about 95), and no less under Wayland
    // compositors: a notch per 60 pixels keeps them near the distance the phone asked for.
    static constexpr int pixelsPerNotch = 60;
    // A huge value would otherwise become millions of notches; the rest is dropped.
    static constexpr int maxNotchesPerEvent = 100;

    explicit WheelSteps(int pixels = pixelsPerNotch) : m_pixelsPerNotch(pixels) {}
    int take(std::int32_t pixels);
    int remainder() const { return m_remainder; }

private:
    int m_pixelsPerNotch;
    int m_remainder = 0;
};

// Relative motion for devices that move by whole pixels: the fractions add up over moves.
class SubPixelMotion
{
public:
    // Larger steps are cut to this; nothing moves that far in one event.
    static constexpr int maxStep = 32767;

    std::pair<int, int> take(double dx, double dy);

private:
    double m_restX = 0;
    double m_restY = 0;
};

// The displays' bounds as last read, until something says they changed.
class MonitorCache
{
public:
    const std::optional<std::vector<Rect>>& monitors() const { return m_monitors; }
    void store(std::vector<Rect> monitors) { m_monitors = std::move(monitors); }
    void invalidate() { m_monitors.reset(); }

private:
    std::optional<std::vector<Rect>> m_monitors;
};

} // namespace quillmote::input
