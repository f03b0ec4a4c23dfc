// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

namespace quillmote::input {

// What the controller posts, in Linux terms: evdev key and button codes
// (<linux/input-event-codes.h>), a modifier set, wheel pixels. Backends turn the events into real
// input (or a record of it); they never see protocol text.

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

// Held while a key goes down; pressed before it in this order and released after it in the
// reverse one.
// AltGr is the layout's third-level shift (ISO_Level3_Shift), which typed characters may need.
enum Modifier : std::uint8_t {
    Control = 1,
    Shift = 2,
    Alt = 4,
    Super = 8,
    AltGr = 16,
};
using ModifierSet = std::uint8_t;
inline constexpr Modifier modifierOrder[] = {Control, Shift, Alt, Super, AltGr};

// The pointer moved to `to` (absolute backends), which is also its old position moved by dx, dy
// (relative backends); fractions are kept. A drag moves it with the left button held.
struct PointerMotion
{
    Point to;
    double dx = 0;
    double dy = 0;
    bool dragging = false;
    bool operator==(const PointerMotion&) const = default;
};

enum class Button : std::uint8_t { Left, Right, Middle };
// The button's evdev code (BTN_LEFT, BTN_RIGHT, BTN_MIDDLE).
std::uint16_t evdevCode(Button button);

// A button going down or up where the pointer is; the second click of a double click counts 2.
struct ButtonChange
{
    Button button = Button::Left;
    bool down = false;
    int clickCount = 1;
    Point at;
    bool operator==(const ButtonChange&) const = default;
};

// Whole pixels of wheel travel; positive vertical scrolls up, positive horizontal left.
struct WheelScroll
{
    std::int32_t vertical = 0;
    std::int32_t horizontal = 0;
    bool operator==(const WheelScroll&) const = default;
};

// An evdev key (KEY_*) with the modifiers held while it goes down; modifier keys come as keys of
// their own, with no modifiers. A key that types a character (byPlace) is the place the active
// layout has that character on, pressed as it is; the other keys stand for their meaning, which
// backends find in the user's layout through the key table's keysym. A character the layout lacks
// (key 0) is typed only by a sink whose keymap said it can: it lends the character a spare key.
struct KeyChange
{
    std::uint16_t key = 0;
    bool down = false;
    ModifierSet modifiers = 0;
    bool byPlace = false;
    char32_t character = 0;
    bool operator==(const KeyChange&) const = default;
};

// A media key (KEY_VOLUMEUP, KEY_MUTE, …): what a keyboard's volume keys send.
struct MediaKey
{
    std::uint16_t key = 0;
    bool down = false;
    bool operator==(const MediaKey&) const = default;
};

// Text placed on the clipboard for a paste. It goes through the clipboard owner, never to a
// sink's post(); it is an event so that a record shows it in order with the keys around it.
struct ClipboardText
{
    QString text;
    bool alsoPrimary = false;
    bool operator==(const ClipboardText&) const = default;
};

using Event = std::variant<PointerMotion, ButtonChange, WheelScroll, KeyChange, MediaKey, ClipboardText>;

// Printable in test failures.
std::string describe(const Event& event);
std::ostream& operator<<(std::ostream& out, const Event& event);

} // namespace quillmote::input
