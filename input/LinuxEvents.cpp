// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/LinuxEvents.h"

namespace quillmote::input {

namespace {
constexpr int auxiliaryKeySubtype = 8;
constexpr int auxiliaryKeyDown = 0x0a;
constexpr int auxiliaryKeyUp = 0x0b;

std::uint8_t modifiersOf(std::uint64_t flags)
{
    std::uint8_t set = 0;
    if (flags & flagCommand)
        set |= ModControl;
    if (flags & flagShift)
        set |= ModShift;
    if (flags & flagOption)
        set |= ModAlt;
    if (flags & flagControl)
        set |= ModSuper;
    return set;
}

std::optional<LinuxEvent> fromMouse(const MouseEvent& e)
{
    switch (e.type) {
    case MouseMoved:
    case LeftMouseDragged:
        return PointerMotion{e.location, e.deltaXf, e.deltaYf};
    case LeftMouseDown:
    case LeftMouseUp:
        return ButtonChange{PointerButton::Left, e.type == LeftMouseDown};
    case RightMouseDown:
    case RightMouseUp:
        return ButtonChange{PointerButton::Right, e.type == RightMouseDown};
    default:
        return std::nullopt;
    }
}

std::optional<LinuxEvent> fromSystem(const SystemEvent& e)
{
    const int keyType = static_cast<int>((e.data1 >> 16) & 0xffff);
    const int state = static_cast<int>((e.data1 >> 8) & 0xff);
    const std::optional<LinuxKey> key = linuxKeyForMediaKey(keyType);
    if (e.subtype != auxiliaryKeySubtype || !key || (state != auxiliaryKeyDown && state != auxiliaryKeyUp))
        return std::nullopt;
    return KeyChange{*key, state == auxiliaryKeyDown, 0};
}
} // namespace

std::uint16_t evdevButtonCode(PointerButton button)
{
    switch (button) {
    case PointerButton::Left:
        return 0x110;
    case PointerButton::Right:
        return 0x111;
    case PointerButton::Middle:
        return 0x112;
    }
    return 0x110;
}

std::optional<std::uint32_t> KeyChange::shortcutKeysym() const
{
    if ((modifiers & (ModControl | ModAlt | ModSuper)) == 0)
        return std::nullopt;
    return characterKeysym(key.keysymName);
}

std::optional<LinuxEvent> toLinuxEvent(const Event& event)
{
    if (const auto* mouse = std::get_if<MouseEvent>(&event))
        return fromMouse(*mouse);
    if (const auto* key = std::get_if<KeyEvent>(&event)) {
        const std::optional<LinuxKey> translated = linuxKeyForKeyCode(key->keyCode);
        if (!translated)
            return std::nullopt;
        return KeyChange{*translated, key->down, modifiersOf(key->flags)};
    }
    if (const auto* scroll = std::get_if<ScrollEvent>(&event))
        return WheelScroll{scroll->wheel1, scroll->wheel2};
    return fromSystem(std::get<SystemEvent>(event));
}

} // namespace quillmote::input
