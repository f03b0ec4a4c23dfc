// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/InputController.h"

#include "input/Terminals.h"

#include <QPointer>

#include <algorithm>
#include <array>
#include <cmath>

namespace quillmote::input {

namespace {
// Truncation toward zero is only defined for values inside the target type's range.
bool fitsInt64(double value)
{
    return std::isfinite(value) && value >= -9223372036854775808.0 && value < 9223372036854775808.0;
}

bool fitsInt32(double value)
{
    return std::isfinite(value) && value > -2147483649.0 && value < 2147483648.0;
}

struct Modifier
{
    std::uint64_t mask;
    std::uint16_t keyCode;
};
// Pressed in this order, released in the reverse one.
constexpr std::array<Modifier, 4> modifiers{{
    {flagCommand, 55},
    {flagShift, 56},
    {flagOption, 58},
    {flagControl, 59},
}};

constexpr int auxiliaryKeySubtype = 8;
constexpr std::uint16_t keyV = 9;
constexpr std::uint16_t keyW = 13;
constexpr std::uint16_t keyInsert = 114; // the Help key of the desktop event model
constexpr std::int32_t keyDownState = 0xa00;
constexpr std::int32_t keyUpState = 0xb00;
} // namespace

InputController::InputController(std::unique_ptr<EventSink> sink) : m_sink(std::move(sink))
{
    m_pasteWait.setSingleShot(true);
    m_pasteWait.setInterval(pasteWaitMs);
    connect(&m_pasteWait, &QTimer::timeout, this, [this] {
        if (m_hold == Hold::UntilPasteFetched)
            release();
    });
    m_sink->setPasteFetchedHandler([this] {
        if (m_hold == Hold::UntilPasteFetched)
            QMetaObject::invokeMethod(this, &InputController::release, Qt::QueuedConnection);
    });
}

InputController::~InputController() = default;

void InputController::movePointer(double dx, double dy)
{
    if (deferred([=, this] { movePointer(dx, dy); }))
        return;
    postRelativeMouseEvent(MouseMoved, dx, dy);
}

void InputController::dragPointer(double dx, double dy)
{
    if (deferred([=, this] { dragPointer(dx, dy); }))
        return;
    postRelativeMouseEvent(LeftMouseDragged, dx, dy);
}

void InputController::postRelativeMouseEvent(int type, double dx, double dy)
{
    // Deltas that are not finite or do not fit the integer delta fields cannot describe a
    // move; such a move is ignored rather than posted somewhere meaningless.
    if (!fitsInt64(dx) || !fitsInt64(dy))
        return;
    const std::optional<Point> location = eventLocation();
    if (!location)
        return;
    MouseEvent event;
    event.type = type;
    event.location = {location->x + dx, location->y + dy};
    if (!m_sink->movesRelatively())
        event.location = clampToDisplays(event.location);
    event.button = LeftButton;
    event.deltaX = static_cast<std::int64_t>(dx);
    event.deltaY = static_cast<std::int64_t>(dy);
    event.deltaXf = dx;
    event.deltaYf = dy;
    m_sink->post(event);
}

Point InputController::clampToDisplays(Point point)
{
    const std::optional<std::vector<Rect>> displays = m_sink->activeDisplays();
    if (!displays || displays->empty())
        return point;
    double minX = displays->front().x;
    double minY = displays->front().y;
    double maxX = minX + displays->front().width;
    double maxY = minY + displays->front().height;
    for (const Rect& r : *displays) {
        minX = std::min(minX, r.x);
        minY = std::min(minY, r.y);
        maxX = std::max(maxX, r.x + r.width);
        maxY = std::max(maxY, r.y + r.height);
    }
    // The far edges are excluded by a tenth of a point, the near ones are not.
    return {std::min(maxX - 0.1, std::max(minX, point.x)), std::min(maxY - 0.1, std::max(minY, point.y))};
}

std::optional<Point> InputController::eventLocation()
{
    std::optional<Point> location = m_sink->pointerLocation();
    if (!location && m_sink->movesRelatively())
        location = Point{};
    return location;
}

void InputController::postButton(int type)
{
    const std::optional<Point> location = eventLocation();
    if (!location)
        return;
    MouseEvent event;
    event.type = type;
    event.location = *location;
    event.button = LeftButton;
    event.clickState = 1;
    m_sink->post(event);
}

void InputController::mouseDown()
{
    if (deferred([this] { mouseDown(); }))
        return;
    postButton(LeftMouseDown);
}

void InputController::mouseUp()
{
    if (deferred([this] { mouseUp(); }))
        return;
    postButton(LeftMouseUp);
}

void InputController::postButtonPair(int downType, int upType, int button, Point location,
                                     std::int64_t clickState)
{
    MouseEvent down;
    down.type = downType;
    down.location = location;
    down.button = button;
    down.clickState = clickState;
    MouseEvent up = down;
    up.type = upType;
    m_sink->post(down);
    m_sink->post(up);
}

void InputController::leftClick()
{
    if (deferred([this] { leftClick(); }))
        return;
    if (const std::optional<Point> location = eventLocation())
        postButtonPair(LeftMouseDown, LeftMouseUp, LeftButton, *location, 1);
}

void InputController::rightClick()
{
    if (deferred([this] { rightClick(); }))
        return;
    if (const std::optional<Point> location = eventLocation())
        postButtonPair(RightMouseDown, RightMouseUp, RightButton, *location, 1);
}

void InputController::doubleClick()
{
    if (deferred([this] { doubleClick(); }))
        return;
    const std::optional<Point> location = eventLocation();
    if (!location)
        return;
    postButtonPair(LeftMouseDown, LeftMouseUp, LeftButton, *location, 1);
    postButtonPair(LeftMouseDown, LeftMouseUp, LeftButton, *location, 2);
}

void InputController::scroll(double dx, double dy)
{
    if (deferred([=, this] { scroll(dx, dy); }))
        return;
    m_accumulatorX += dx * scrollFactor;
    m_accumulatorY += dy * scrollFactor;
    // A sum that is not finite or whose whole part leaves the wheel's 32 bits cannot be sent;
    // starting again from zero keeps later scrolling sane.
    if (!fitsInt32(m_accumulatorX) || !fitsInt32(m_accumulatorY)) {
        m_accumulatorX = 0.0;
        m_accumulatorY = 0.0;
        return;
    }
    const auto ix = static_cast<std::int32_t>(m_accumulatorX);
    const auto iy = static_cast<std::int32_t>(m_accumulatorY);
    if (ix == 0 && iy == 0)
        return;
    m_accumulatorX -= ix;
    m_accumulatorY -= iy;
    m_sink->post(ScrollEvent{0, iy, ix, 0});
}

void InputController::magnify(double) {}

void InputController::pressKey(std::uint16_t keyCode, std::uint64_t flags)
{
    if (deferred([=, this] { pressKey(keyCode, flags); }))
        return;
    std::vector<std::uint16_t> held;
    for (const Modifier& m : modifiers) {
        if (flags & m.mask)
            held.push_back(m.keyCode);
    }
    for (const std::uint16_t code : held)
        m_sink->post(KeyEvent{code, true, 0});
    m_sink->post(KeyEvent{keyCode, true, flags});
    m_sink->post(KeyEvent{keyCode, false, flags});
    for (auto it = held.rbegin(); it != held.rend(); ++it)
        m_sink->post(KeyEvent{*it, false, 0});
}

void InputController::typeText(const QString& text)
{
    // The reply goes out first: the paste starts on a later turn of the event loop, and
    // everything after it waits behind it in the queue.
    m_queue.push_back([this, text] { pasteText(text); });
    if (m_hold != Hold::None || m_running || m_queue.size() > 1)
        return;
    m_hold = Hold::UntilNextTurn;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_hold == Hold::UntilNextTurn)
                release();
        },
        Qt::QueuedConnection);
}

bool InputController::focusIsTerminal()
{
    const std::optional<QString> windowClass = m_sink->focusedWindowClass();
    return windowClass && isTerminalEmulator(*windowClass);
}

void InputController::pressPaste()
{
    if (deferred([this] { pressPaste(); }))
        return;
    if (focusIsTerminal())
        pressKey(keyInsert, flagShift);
    else
        pressKey(keyV, flagCommand);
}

void InputController::closeWindow()
{
    if (deferred([this] { closeWindow(); }))
        return;
    pressKey(keyW, focusIsTerminal() ? flagCommand | flagShift : flagCommand);
}

void InputController::pasteText(const QString& text)
{
    // Terminals paste with Shift+Insert, which some take from the primary selection.
    const bool terminal = focusIsTerminal();
    // Pressing the chord without our text on the clipboard would paste whatever was there.
    if (!(terminal ? m_sink->setSelectionText(text) : m_sink->setClipboardText(text)))
        return;
    pressKey(terminal ? keyInsert : keyV, terminal ? flagShift : flagCommand);
    if (!m_sink->reportsPasteFetched())
        return;
    // The application asks for the text only once it sees the chord: what follows must wait
    // until it has it, or it lands before the text, or a next TYPE replaces it.
    m_hold = Hold::UntilPasteFetched;
    m_pasteWait.start();
}

bool InputController::deferred(std::function<void()> action)
{
    if (m_running || (m_hold == Hold::None && m_queue.empty()))
        return false;
    m_queue.push_back(std::move(action));
    return true;
}

void InputController::release()
{
    m_hold = Hold::None;
    m_pasteWait.stop();
    while (m_hold == Hold::None && !m_queue.empty()) {
        const std::function<void()> action = std::move(m_queue.front());
        m_queue.pop_front();
        m_running = true;
        action();
        m_running = false;
    }
}

void InputController::pressMediaKey(std::int32_t keyType)
{
    if (deferred([=, this] { pressMediaKey(keyType); }))
        return;
    // data1 is formed in 32 bits and widened with its sign.
    const auto word = [keyType](std::int32_t state) {
        return static_cast<std::int64_t>(static_cast<std::int32_t>(
            (static_cast<std::uint32_t>(keyType) << 16) | static_cast<std::uint32_t>(state)));
    };
    m_sink->post(SystemEvent{auxiliaryKeySubtype, word(keyDownState), -1, keyDownState});
    m_sink->post(SystemEvent{auxiliaryKeySubtype, word(keyUpState), -1, keyUpState});
}

bool InputController::checkAccessibility(bool prompt)
{
    if (prompt && m_sink->access() == EventSink::Access::Refused)
        m_sink->requestAccess();
    return m_sink->isTrusted();
}

} // namespace quillmote::input
