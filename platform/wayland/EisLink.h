// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"
#include "platform/wayland/XkbLayout.h"
#include "util/UniqueFd.h"

#include <QString>

#include <functional>
#include <memory>

namespace quillmote::wayland {

// A direct connection to the compositor's input server (libei), which the RemoteDesktop portal
// hands out for its session: events go out without a D-Bus round trip each.
class EisLink
{
public:
    virtual ~EisLink() = default;
    // False when no device takes the event now (none added yet, or paused): the caller posts it
    // another way.
    virtual bool post(const input::Event& event) = 0;
};

// What a link tells its owner, from its own event handling (delete the link later, not inside).
struct EisEvents
{
    // Once, when devices for the pointer, its buttons and wheel, and the keyboard take events.
    std::function<void()> ready;
    // At most once, with why the server dropped the connection.
    std::function<void(const QString&)> lost;
};

// Connects through the descriptor the portal's ConnectToEIS gave. The keyboard's keymap, once
// the server sends it, goes to `layout`. Empty, with the reason in `error`, when the connection
// cannot be set up.
using EisConnector = std::function<std::unique_ptr<EisLink>(
    UniqueFd fd, std::shared_ptr<LearnedLayout> layout, EisEvents events, QString* error)>;

// Empty where Quillmote was built without libei.
EisConnector eisConnector();

} // namespace quillmote::wayland
