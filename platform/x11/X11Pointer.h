// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"
#include "platform/x11/X11Connection.h"

#include <QObject>

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <utility>

namespace quillmote::x11 {

// Where the pointer is, without a round trip per move. X pointers are integers: the precise
// position last posted is kept while the pointer is still on the pixel we put it on, so that a
// stream of small moves still adds up. Moves are posted as relative motion from that pixel, which
// the server applies from wherever the pointer really is: a warp by another client is kept even
// when it came after our last look. The posted position is trusted until something else may have
// moved the pointer: a raw motion event that is not the echo of one of our own posts, a display
// or monitor change, or revalidateAfter since the last look (a warp makes no raw motion event).
// Asking every time would cost a round trip per move (on Xvfb a move's round trip went from
// 70 to 185 us, a stream from 100,000 to 9,500 moves a second), so a warp by another client
// within that time is looked for only where it matters: a move that would be clamped, against
// an edge the pointer may have left, asks where the pointer is (location(true)).
class X11Pointer : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds revalidateAfter{100};
    static constexpr std::size_t maxUnechoedPosts = 256;

    explicit X11Pointer(std::shared_ptr<X11Connection> connection);

    // Asked of the server when `current` is set, else when the position may be out of date.
    std::optional<input::Point> location(bool current = false);
    // The motion that takes the pointer from the pixel we know to the pixel of `precise`.
    std::pair<int, int> stepTo(input::Point precise) const;
    // We moved the pointer by `step`, to the pixel of `precise`.
    void notePosted(input::Point precise, std::pair<int, int> step);
    // Something may have moved the pointer: ask the server next time.
    void forget() { m_known = false; }

private:
    void setUp();
    void onEvent(_XEvent* event);

    std::shared_ptr<X11Connection> m_connection;
    int m_xiOpcode = -1;
    int m_xtestPointer = -1;
    std::optional<input::Point> m_precise;
    std::pair<int, int> m_pixel{0, 0};
    bool m_known = false;
    std::chrono::steady_clock::time_point m_lastQuery;
    // Steps posted whose raw motion event has not come back yet, oldest first.
    std::deque<std::pair<int, int>> m_unechoed;
};

// The pixel X puts a precise coordinate on: the floor, within X's 16 bits.
int pixelOf(double coordinate);

} // namespace quillmote::x11
