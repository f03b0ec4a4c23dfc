// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
// Built where libei is not found: the portal's own calls post the input.
#include "platform/wayland/EisLink.h"

namespace quillmote::wayland {

EisConnector eisConnector()
{
    return {};
}

} // namespace quillmote::wayland
