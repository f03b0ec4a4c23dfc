// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/Events.h"

#include <sstream>

namespace quillmote::input {

std::string describe(const Event& event)
{
    std::ostringstream out;
    std::visit(
        [&out](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, MouseEvent>)
                out << "mouse{type=" << e.type << " at=(" << e.location.x << "," << e.location.y
                    << ") button=" << e.button << " clickState=" << e.clickState << " delta=(" << e.deltaX
                    << "," << e.deltaY << ") deltaf=(" << e.deltaXf << "," << e.deltaYf << ")}";
            else if constexpr (std::is_same_v<T, KeyEvent>)
                out << "key{code=" << e.keyCode << (e.down ? " down" : " up") << " flags=0x" << std::hex
                    << e.flags << "}";
            else if constexpr (std::is_same_v<T, ScrollEvent>)
                out << "scroll{unit=" << e.unit << " wheels=" << e.wheel1 << "," << e.wheel2 << ","
                    << e.wheel3 << "}";
            else
                out << "system{subtype=" << e.subtype << " data1=0x" << std::hex << e.data1 << std::dec
                    << " data2=" << e.data2 << " flags=0x" << std::hex << e.flags << "}";
        },
        event);
    return out.str();
}

std::ostream& operator<<(std::ostream& out, const Event& event)
{
    return out << describe(event);
}

} // namespace quillmote::input
