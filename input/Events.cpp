// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/Events.h"

#include <linux/input-event-codes.h>

#include <sstream>

namespace quillmote::input {

namespace {
const char* buttonName(Button button)
{
    switch (button) {
    case Button::Left:
        return "left";
    case Button::Right:
        return "right";
    case Button::Middle:
        return "middle";
    }
    return "?";
}
} // namespace

std::uint16_t evdevCode(Button button)
{
    switch (button) {
    case Button::Left:
        return BTN_LEFT;
    case Button::Right:
        return BTN_RIGHT;
    case Button::Middle:
        return BTN_MIDDLE;
    }
    return BTN_LEFT;
}

std::string describe(const Event& event)
{
    std::ostringstream out;
    std::visit(
        [&out](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, PointerMotion>)
                out << (e.dragging ? "drag{to=(" : "motion{to=(") << e.to.x << "," << e.to.y << ") by=("
                    << e.dx << "," << e.dy << ")}";
            else if constexpr (std::is_same_v<T, ButtonChange>)
                out << "button{" << buttonName(e.button) << (e.down ? " down" : " up")
                    << " clicks=" << e.clickCount << " at=(" << e.at.x << "," << e.at.y << ")}";
            else if constexpr (std::is_same_v<T, WheelScroll>)
                out << "wheel{vertical=" << e.vertical << " horizontal=" << e.horizontal << "}";
            else if constexpr (std::is_same_v<T, KeyChange>) {
                out << "key{" << e.key << (e.down ? " down" : " up") << " modifiers=" << int(e.modifiers)
                    << (e.byPlace ? " by place" : "");
                if (e.character != 0)
                    out << " U+" << std::hex << std::uppercase << std::uint32_t(e.character) << std::dec;
                out << "}";
            } else if constexpr (std::is_same_v<T, MediaKey>)
                out << "media{" << e.key << (e.down ? " down" : " up") << "}";
            else
                out << "clipboard{\"" << e.text.toStdString() << "\"" << (e.alsoPrimary ? " +primary" : "")
                    << "}";
        },
        event);
    return out.str();
}

std::ostream& operator<<(std::ostream& out, const Event& event)
{
    return out << describe(event);
}

} // namespace quillmote::input
