// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Keymap.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11SpareKeys.h"

#include <memory>

namespace quillmote::x11 {

// The X server's keymap in its active group (on Xwayland, the Wayland session's layout): which
// key and level types each character. Read at every look-up, so a switched layout or an
// xmodmap is followed; the US layout while the display is lost. With spareKeys (the poster's),
// the characters it lacks are typed too, while the keymap has a spare key; keys lent meanwhile are
// no part of the layout.
class X11Keymap : public input::Keymap
{
public:
    explicit X11Keymap(std::shared_ptr<X11Connection> connection,
                       std::shared_ptr<const X11SpareKeys> spareKeys = {})
        : m_connection(std::move(connection)), m_spareKeys(std::move(spareKeys))
    {
    }
    input::CharacterKeys characterKeys() override;
    bool typesAnyCharacter() override { return m_typesAny; }

private:
    std::shared_ptr<X11Connection> m_connection;
    std::shared_ptr<const X11SpareKeys> m_spareKeys;
    bool m_typesAny = false;
};

} // namespace quillmote::x11
