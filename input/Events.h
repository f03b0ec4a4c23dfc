// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

#include <cstdint>
#include <ostream>
#include <variant>
#include <vector>

namespace quillmote::input {

// The events the controller posts, with the numbers of the desktop event model they come
// from: event types, field values, virtual key codes, flag masks and data words. Backends
// turn them into real input; they never see protocol text.

enum MouseEventType : int {
    LeftMouseDown = 1,
    LeftMouseUp = 2,
    RightMouseDown = 3,
    RightMouseUp = 4,
    MouseMoved = 5,
    LeftMouseDragged = 6,
};
enum MouseButton : int { LeftButton = 0, RightButton = 1 };

inline constexpr std::uint64_t flagCommand = 0x100000;
inline constexpr std::uint64_t flagShift = 0x20000;
inline constexpr std::uint64_t flagOption = 0x80000;
inline constexpr std::uint64_t flagControl = 0x40000;

struct Point
{
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect
{
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const Rect&) const = default;
};

struct MouseEvent
{
    int type = 0;
    Point location;
    int button = 0;
    std::int64_t clickState = 0;
    std::int64_t deltaX = 0;
    std::int64_t deltaY = 0;
    double deltaXf = 0;
    double deltaYf = 0;
    bool operator==(const MouseEvent&) const = default;
};

struct KeyEvent
{
    std::uint16_t keyCode = 0;
    bool down = false;
    std::uint64_t flags = 0;
    bool operator==(const KeyEvent&) const = default;
};

// Pixel units, wheel 1 vertical, wheel 2 horizontal.
struct ScrollEvent
{
    int unit = 0;
    std::int32_t wheel1 = 0;
    std::int32_t wheel2 = 0;
    std::int32_t wheel3 = 0;
    bool operator==(const ScrollEvent&) const = default;
};

// A system-defined event; subtype 8 carries an auxiliary key: type in data1 bits 16-31,
// state in bits 8-15 (0x0a down, 0x0b up).
struct SystemEvent
{
    int subtype = 0;
    std::int64_t data1 = 0;
    std::int64_t data2 = 0;
    std::uint64_t flags = 0;
    bool operator==(const SystemEvent&) const = default;
};

using Event = std::variant<MouseEvent, KeyEvent, ScrollEvent, SystemEvent>;

// Printable in test failures.
std::ostream& operator<<(std::ostream& out, const Event& event);
std::string describe(const Event& event);

} // namespace quillmote::input
