// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/InputAccess.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

namespace quillmote {

class DeviceApproval;
class PairingGate;
class RemoteServer;
class ServerStatus;
class Settings;
namespace host {
class HostAddresses;
}
namespace web {
class WebRemote;
}

namespace ui {

// The project's home page, opened from the dashboard.
inline constexpr char homePage[] = "https://quillmote.org/";

// What every view works with. The application passes the shared instances and the desktop's
// own URL opener and quit; tests pass their own.
struct ViewContext
{
    RemoteServer& server;
    PairingGate& gate;
    ServerStatus& status;
    input::InputAccess& access;
    host::HostAddresses& addresses;
    const Settings& settings;
    std::function<void(const QUrl&)> openUrl;
    std::function<void()> quit;
    // The browser remote, whose link the dashboard shows; none in views that do without it.
    web::WebRemote* webRemote = nullptr;
    // The questions about new devices and the list of known ones; none in views that do without.
    DeviceApproval* approval = nullptr;
};

// Calls update after every change the server, its gate, its status or the input access publish,
// whichever it was, while context lives.
void observeServer(const ViewContext& viewContext, QObject* context, const std::function<void()>& update);
// Calls action each time the application becomes the active one, while context lives.
void onApplicationActivated(QObject* context, const std::function<void()>& action);

// Whether the server's listener exists and is ready: the stand-in for the network permission.
bool isListenerReady(const RemoteServer& server);
// Whether the server listens but cannot advertise itself: avahi-daemon is unreachable.
bool isAdvertisingUnavailable(const RemoteServer& server);
// The version shown in the views, or empty when the application has none.
QString applicationVersion();
// The page that explains how to grant input access, as shipped with the program.
QUrl inputAccessHelpPage();
// What the views say of input at the screen's lock (Locked, Shielded, LockedOut: the last with the
// command that allows it); empty for the other states, which each view words its own way.
QString lockScreenText(input::InputAccess::State state);

} // namespace ui
} // namespace quillmote
