// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/Services.h"

#include "actions/DesktopActions.h"
#include "app/DeviceNotifications.h"
#include "app/InputBackends.h"
#include "input/InputController.h"
#include "platform/avahi/AvahiAdvertiser.h"
#include "platform/desktop/ActionNotifications.h"
#include "platform/desktop/DBusUserActivity.h"
#include "platform/desktop/GioAppCatalogue.h"
#include "platform/desktop/GnomeKeybindings.h"
#include "platform/desktop/NetworkManagerWifi.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/ReceiveLoop.h"
#include "server/DeviceApproval.h"
#include "server/HostAddresses.h"
#include "server/NeighbourTable.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"
#include "server/ServerStatus.h"
#include "util/Console.h"
#include "util/Desktop.h"
#include "util/Overloaded.h"
#include "web/WebRemote.h"

#include <QDir>

namespace quillmote {

namespace {
// Hands the backend's answer to the controller. A backend that cannot be opened says why: in the
// result when that is known before this returns, else through `fail`.
std::optional<QString> openInput(input::InputController& controller, const InputChoice& choice,
                                 const BackendNeeds& needs, std::function<void(const QString&)> fail)
{
    struct Answered
    {
        bool returned = false;
        std::optional<QString> refusedAtOnce;
    };
    const auto answered = std::make_shared<Answered>();
    createInputBackend(
        choice, needs, &controller, [&controller, answered, fail = std::move(fail)](BackendAnswer answer) {
            std::visit(Overloaded{
                           [&](input::InputBackend& backend) { controller.adopt(std::move(backend)); },
                           [&](QString& reason) {
                               if (answered->returned)
                                   fail(reason);
                               else
                                   answered->refusedAtOnce = reason;
                           },
                       },
                       answer);
        });
    answered->returned = true;
    return answered->refusedAtOnce;
}

// --port, else the setting, else the port that gives way when taken.
PortChoice choosePort(std::optional<quint16> commandLine, const Settings& settings, Settings::Key key,
                      PortChoice preferred)
{
    if (commandLine)
        return {*commandLine, false};
    if (const std::optional<quint16> stored = settings.port(key))
        return {*stored, false};
    return preferred;
}
} // namespace

Services::Services(Settings settings) : m_settings(std::move(settings)) {}

std::unique_ptr<Services> Services::create(const CommandLine& line, Settings settings, QString* error,
                                           std::function<void(const QString&)> fail)
{
    std::unique_ptr<Services> services(new Services(std::move(settings)));
    const Settings& stored = services->m_settings;
    // Read once; the backends and the desktop actions adapt to it.
    const Desktop desktop = Desktop::named(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    const QStringList toolFolders = actions::DesktopProfile::systemToolFolders();
    // Awaiting while the backend is chosen; from then on the backend says.
    services->m_access = std::make_unique<input::InputAccess>(input::InputAccess::State::Awaiting);
    services->m_addresses = std::make_unique<host::HostAddresses>();
    services->m_wifi =
        std::make_unique<desktop::NetworkManagerWifi>(QDBusConnection::systemBus(), *services->m_addresses);
    // Input waits for the backend's answer behind a sink that is never ready.
    input::InputBackend waiting;
    waiting.sink = std::make_unique<input::PendingSink>();
    services->m_input = std::make_unique<input::InputController>(std::move(waiting));
    if (std::optional<QString> refused =
            openInput(*services->m_input, line.input, {stored, *services->m_access, desktop, toolFolders},
                      std::move(fail))) {
        *error = *refused;
        return nullptr;
    }
    services->makeActions(desktop, toolFolders);
    services->m_gate = std::make_unique<PairingGate>(stored);
    services->m_devices = std::make_unique<KnownDevices>(stored);
    services->m_approval = std::make_unique<DeviceApproval>(*services->m_devices, &linkLayerAddressOf);
    services->m_server = std::make_unique<RemoteServer>(RemoteServer::Dependencies{
        .gate = *services->m_gate,
        .advertiserFactory = &avahi::createAdvertiser,
        .name = {},
        .unpairedConnectionLimit = 0,
        .port = choosePort(line.port, stored, Settings::Key::Port, PortChoice::preferred()),
    });
    services->m_dispatcher =
        std::make_unique<CommandDispatcher>(*services->m_server, *services->m_gate, services->m_input.get(),
                                            services->m_actions.get(), services->m_approval.get());
    services->m_receiveLoop =
        std::make_unique<ReceiveLoop>(*services->m_server, *services->m_gate, *services->m_dispatcher);
    services->m_status = std::make_unique<ServerStatus>(*services->m_server, *services->m_gate);
    const bool webEnabled = !line.webRemoteOff && stored.flag(Settings::Key::WebRemote, true);
    services->m_webRemote = std::make_unique<web::WebRemote>(web::WebRemote::Dependencies{
        .server = *services->m_server,
        .gate = *services->m_gate,
        .dispatcher = *services->m_dispatcher,
        .settings = stored,
        .addresses = *services->m_addresses,
        .port = choosePort(line.webPort, stored, Settings::Key::WebPort, {web::WebRemote::defaultPort, true}),
        .enabled = webEnabled,
        .approval = services->m_approval.get(),
        .access = services->m_access.get(),
    });
    // The page pairs with the code too: it listens once the code is placed and the server listens.
    web::WebRemote* webRemote = services->m_webRemote.get();
    // Queued, so that the phone app's listener is announced first.
    QObject::connect(
        services->m_server.get(), &RemoteServer::listening, webRemote, [webRemote] { webRemote->start(); },
        Qt::QueuedConnection);
    return services;
}

void Services::makeActions(const Desktop& desktop, const QStringList& toolFolders)
{
    m_catalogue = std::make_unique<desktop::GioAppCatalogue>();
    m_userActivity = std::make_unique<desktop::DBusUserActivity>(QDBusConnection::sessionBus());
    actions::DesktopProfile profile = actions::DesktopProfile::forLinuxDesktop(
        desktop.name, QDir::homePath(), desktop.isGnome ? desktop::gnomeShowDesktopKeys() : QStringList());
    profile.resolveTools(toolFolders);
    m_actions = std::make_unique<actions::DesktopActions>(actions::DesktopActions::Dependencies{
        .input = *m_input,
        .profile = std::move(profile),
        .catalogue = *m_catalogue,
        .userActivity = *m_userActivity,
    });
}

void Services::notifyAboutDevices()
{
    m_notifications = std::make_unique<desktop::ActionNotifications>(QDBusConnection::sessionBus());
    m_deviceNotifications = std::make_unique<DeviceNotifications>(*m_approval, *m_notifications);
}

// The server goes first: its connections' pending reads refer to the receive loop.
Services::~Services()
{
    m_deviceNotifications.reset();
    m_notifications.reset();
    m_status.reset();
    m_webRemote.reset();
    m_server.reset();
    m_receiveLoop.reset();
    m_dispatcher.reset();
    m_approval.reset();
    m_actions.reset();
    m_input.reset();
}

} // namespace quillmote
