// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/CommandLine.h"
#include "input/InputAccess.h"
#include "input/InputBackend.h"
#include "util/Desktop.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <variant>

namespace quillmote {

class Settings;

// A way of reaching the desktop, or why it cannot be opened.
using BackendAnswer = std::variant<input::InputBackend, QString>;

// What the backends are opened with.
struct BackendNeeds
{
    const Settings& settings;   // where the portal keeps its restore token
    input::InputAccess& access; // set by the backend that learns whether input may be posted
    Desktop desktop;
    QStringList toolFolders; // where wl-copy is looked for
};

// The backend --input names. "auto" walks the candidates of the session in order and takes the
// first one available: x11 in an X11 session; portal, then uinput in a Wayland session (never
// x11 there: $DISPLAY is Xwayland, whose input only X clients see); none when all are passed
// over. Its console line names the choice and why the others were passed over. Its portal posts
// through libei where the portal offers that ("portal (libei)"); "portal" always through the
// portal's own calls.
//
// Answers exactly once, with the backend or why the one named cannot be opened: before
// returning where that is known at once, else from the event loop (the portal is asked without
// waiting for it) unless `context` is gone by then.
void createInputBackend(const InputChoice& choice, const BackendNeeds& needs, QObject* context,
                        std::function<void(BackendAnswer)> answer);

} // namespace quillmote
