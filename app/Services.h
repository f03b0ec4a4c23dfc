// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/CommandLine.h"
#include "util/Desktop.h"
#include "util/Settings.h"

#include <QString>

#include <functional>
#include <memory>

namespace quillmote {

class CommandDispatcher;
class DeviceApproval;
class DeviceNotifications;
class KnownDevices;
class PairingGate;
class ReceiveLoop;
class RemoteServer;
class ServerStatus;
namespace host {
class HostAddresses;
}
namespace web {
class WebRemote;
}
namespace desktop {
class ActionNotifications;
class NetworkManagerWifi;
} // namespace desktop
namespace input {
class InputAccess;
class InputController;
} // namespace input
namespace actions {
class AppCatalogue;
class DesktopActions;
class UserActivity;
} // namespace actions

// The program's one input controller, desktop actions, pairing gate and server, made once in
// main from the parsed command line and handed to whoever needs them. Needs the application
// object.
class Services
{
public:
    // Null, with the reason, when the input backend asked for by name cannot be opened; when
    // that is known only later (the portal), `fail` is called with the reason instead.
    static std::unique_ptr<Services> create(const CommandLine& line, Settings settings, QString* error,
                                            std::function<void(const QString&)> fail);
    ~Services();

    const Settings& settings() const { return m_settings; }
    input::InputAccess& access() { return *m_access; }
    host::HostAddresses& addresses() { return *m_addresses; }
    PairingGate& gate() { return *m_gate; }
    DeviceApproval& approval() { return *m_approval; }
    // Asks about new devices in desktop notifications as well (the desktop application).
    void notifyAboutDevices();
    RemoteServer& server() { return *m_server; }
    ServerStatus& status() { return *m_status; }
    web::WebRemote& webRemote() { return *m_webRemote; }

private:
    explicit Services(Settings settings);
    // The desktop actions, on the controller's window manager and the desktop's own tools.
    void makeActions(const Desktop& desktop, const QStringList& toolFolders);

    Settings m_settings;
    std::unique_ptr<input::InputAccess> m_access;
    std::unique_ptr<host::HostAddresses> m_addresses;
    std::unique_ptr<desktop::NetworkManagerWifi> m_wifi;
    std::unique_ptr<PairingGate> m_gate;
    std::unique_ptr<KnownDevices> m_devices;
    std::unique_ptr<DeviceApproval> m_approval;
    std::unique_ptr<desktop::ActionNotifications> m_notifications;
    std::unique_ptr<DeviceNotifications> m_deviceNotifications;
    std::unique_ptr<actions::AppCatalogue> m_catalogue;
    std::unique_ptr<actions::UserActivity> m_userActivity;
    std::unique_ptr<input::InputController> m_input;
    std::unique_ptr<actions::DesktopActions> m_actions;
    std::unique_ptr<RemoteServer> m_server;
    std::unique_ptr<CommandDispatcher> m_dispatcher;
    std::unique_ptr<ReceiveLoop> m_receiveLoop;
    std::unique_ptr<web::WebRemote> m_webRemote;
    std::unique_ptr<ServerStatus> m_status;
};

} // namespace quillmote
