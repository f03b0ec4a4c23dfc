// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/ClipboardOwner.h"
#include "input/EventSink.h"
#include "input/InputAccess.h"
#include "input/Keymap.h"
#include "input/WindowManager.h"

#include <memory>

namespace quillmote::input {

// One way of reaching the desktop, by role: the sink posts events, the clipboard owner serves
// pastes, the window manager answers about windows, the keymap says which characters can be
// typed. The last three may be missing: without a keymap every text is pasted.
struct InputBackend
{
    std::unique_ptr<EventSink> sink = std::make_unique<NoneSink>();
    std::unique_ptr<ClipboardOwner> clipboard;
    std::unique_ptr<WindowManager> windowManager;
    std::unique_ptr<Keymap> keymap;
};

// No way of posting input, where nobody can grant it.
inline InputBackend noInput(InputAccess& access)
{
    access.setState(InputAccess::State::Unavailable);
    return {};
}

} // namespace quillmote::input
