// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11Backend.h"

#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Keymap.h"
#include "platform/x11/X11Poster.h"
#include "platform/x11/X11SpareKeys.h"
#include "platform/x11/X11WindowManager.h"
#include "platform/x11/XResources.h"

#include <X11/extensions/XTest.h>

namespace quillmote::x11 {

std::optional<input::InputBackend> openBackend(const QByteArray& displayName, input::InputAccess& access,
                                               QString* error)
{
    const std::shared_ptr<X11Connection> connection = X11Connection::open(displayName, error);
    if (!connection)
        return std::nullopt;
    int event = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(connection->display(), &event, &errorBase, &major, &minor)) {
        *error = QStringLiteral("the X display has no XTest extension");
        return std::nullopt;
    }
    using State = input::InputAccess::State;
    access.setState(State::Granted);
    QObject::connect(connection.get(), &X11Connection::lost, &access,
                     [&access] { access.setState(State::Unavailable); });
    QObject::connect(connection.get(), &X11Connection::connected, &access,
                     [&access] { access.setState(State::Granted); });
    input::InputBackend backend;
    // The poster types on the keys it lends; the keymap leaves them out of the layout.
    const auto spareKeys = std::make_shared<X11SpareKeys>(connection);
    backend.sink = std::make_unique<X11Poster>(connection, spareKeys);
    backend.clipboard = std::make_unique<X11Clipboard>(connection);
    backend.windowManager = std::make_unique<X11WindowManager>(connection);
    backend.keymap = std::make_unique<X11Keymap>(connection, spareKeys);
    return backend;
}

std::optional<XwaylandParts> openXwayland(const QByteArray& displayName, QString* error)
{
    const std::shared_ptr<X11Connection> connection = X11Connection::open(displayName, error);
    if (!connection)
        return std::nullopt;
    XwaylandParts parts;
    parts.clipboard = std::make_unique<X11Clipboard>(connection, true);
    parts.windowManager = std::make_unique<X11WindowManager>(connection, false);
    parts.keymap = std::make_unique<X11Keymap>(connection);
    parts.xWindowFocused = [windowManager = std::make_shared<X11WindowManager>(connection, false)] {
        return windowManager->focusedWindowClass().has_value();
    };
    return parts;
}

bool isDisplayReachable(const QByteArray& displayName)
{
    return !displayName.isEmpty() && DisplayHandle(XOpenDisplay(displayName.constData()));
}

std::optional<std::uint16_t> evdevKeyForKeysym(const QByteArray& displayName, std::uint32_t keysym)
{
    if (displayName.isEmpty())
        return std::nullopt;
    // A connection per look-up: shortcuts are rare, and the keymap is then always current.
    const DisplayHandle display(XOpenDisplay(displayName.constData()));
    if (!display)
        return std::nullopt;
    const KeyCode keycode = XKeysymToKeycode(display.get(), keysym);
    if (keycode < 8)
        return std::nullopt;
    return static_cast<std::uint16_t>(keycode - 8);
}

} // namespace quillmote::x11
