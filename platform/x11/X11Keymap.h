// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Keymap.h"
#include "platform/x11/X11Connection.h"

#include <memory>

namespace quillmote::x11 {

// The X server's keymap in its active group (on Xwayland, the Wayland session's layout): which
// key and level types each character. Read at every look-up, so a switched layout or an
// xmodmap is followed; the US layout while the display is lost.
class X11Keymap : public input::Keymap
{
public:
    explicit X11Keymap(std::shared_ptr<X11Connection> connection) : m_connection(std::move(connection)) {}
    input::CharacterKeys characterKeys() override;

private:
    std::shared_ptr<X11Connection> m_connection;
};

} // namespace quillmote::x11
