// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/Services.h"

#include "actions/DesktopActions.h"
#include "app/InputBackends.h"
#include "input/InputController.h"
#include "platform/avahi/AvahiAdvertiser.h"
#include "platform/desktop/DBusUserActivity.h"
#include "platform/desktop/GioAppCatalogue.h"
#include "platform/desktop/GnomeKeybindings.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/ReceiveLoop.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"
#include "server/ServerStatus.h"
#include "util/Console.h"
#include "web/WebRemote.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace quillmote {

namespace {
// --port, else the Port setting, else the default port (which gives way when taken).
PortChoice listeningPort(const CommandLine& line, const QString& settingsPath)
{
    if (line.port)
        return {*line.port, false};
    const QVariant stored = QSettings(settingsPath, QSettings::IniFormat).value(QStringLiteral("Port"));
    if (stored.isValid()) {
        bool ok = false;
        const uint port = stored.toString().toUInt(&ok);
        if (ok && port <= 65535)
            return {static_cast<quint16>(port), false};
        console::line(QStringLiteral("The setting Port=%1 is not a port number; using the default port")
                          .arg(stored.toString()));
    }
    return PortChoice::preferred();
}

// --web-port, else the WebPort setting, else the browser remote's default port.
PortChoice webPort(const CommandLine& line, const QString& settingsPath)
{
    if (line.webPort)
        return {*line.webPort, false};
    const QVariant stored =
        QSettings(settingsPath, QSettings::IniFormat).value(QLatin1String(web::WebRemote::portKey));
    if (stored.isValid()) {
        bool ok = false;
        const uint port = stored.toString().toUInt(&ok);
        if (ok && port <= 65535)
            return {static_cast<quint16>(port), false};
        console::line(QStringLiteral("The setting WebPort=%1 is not a port number; using the default port")
                          .arg(stored.toString()));
    }
    return {web::WebRemote::defaultPort, true};
}
} // namespace

QString settingsFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quillmote/Quillmote.conf");
}

std::unique_ptr<Services> Services::create(const CommandLine& line, QString* error,
                                           std::function<void(const QString&)> fail)
{
    std::unique_ptr<Services> services(new Services);
    services->m_access = std::make_unique<input::InputAccess>();
    std::optional<input::InputBackend> backend =
        createInputBackend(line.input, settingsFilePath(), *services->m_access, error, std::move(fail));
    if (!backend)
        return nullptr;
    input::WindowManager* windowManager = backend->windowManager.get();
    services->m_input = std::make_unique<input::InputController>(std::move(*backend));
    services->m_catalogue = std::make_unique<desktop::GioAppCatalogue>();
    services->m_userActivity = std::make_unique<desktop::DBusUserActivity>(QDBusConnection::sessionBus());
    const QString currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    actions::DesktopProfile profile = actions::DesktopProfile::forLinuxDesktop(
        currentDesktop, QDir::homePath(),
        currentDesktop.contains(QLatin1String("GNOME"), Qt::CaseInsensitive) ? desktop::gnomeShowDesktopKeys()
                                                                             : QStringList());
    profile.resolveTools(actions::DesktopProfile::systemToolFolders());
    services->m_actions = std::make_unique<actions::DesktopActions>(actions::DesktopActions::Dependencies{
        .input = *services->m_input,
        .windowManager = windowManager,
        .profile = std::move(profile),
        .catalogue = *services->m_catalogue,
        .userActivity = *services->m_userActivity,
    });
    services->m_gate = std::make_unique<PairingGate>(settingsFilePath());
    services->m_server = std::make_unique<RemoteServer>(RemoteServer::Dependencies{
        .gate = *services->m_gate,
        .advertiserFactory = &avahi::createAdvertiser,
        .name = {},
        .unpairedConnectionLimit = 0,
        .port = listeningPort(line, settingsFilePath()),
    });
    services->m_dispatcher = std::make_unique<CommandDispatcher>(
        *services->m_server, *services->m_gate, services->m_input.get(), services->m_actions.get());
    services->m_receiveLoop =
        std::make_unique<ReceiveLoop>(*services->m_server, *services->m_gate, *services->m_dispatcher);
    services->m_status = std::make_unique<ServerStatus>(*services->m_server, *services->m_gate);
    const bool webEnabled = !line.webRemoteOff && QSettings(settingsFilePath(), QSettings::IniFormat)
                                                      .value(QLatin1String(web::WebRemote::enabledKey), true)
                                                      .toBool();
    services->m_webRemote = std::make_unique<web::WebRemote>(web::WebRemote::Dependencies{
        .server = *services->m_server,
        .gate = *services->m_gate,
        .dispatcher = *services->m_dispatcher,
        .settingsPath = settingsFilePath(),
        .port = webPort(line, settingsFilePath()),
        .enabled = webEnabled,
    });
    // The page pairs with the code too: it listens once the code is placed and the server listens.
    web::WebRemote* webRemote = services->m_webRemote.get();
    // Queued, so that the phone app's listener is announced first.
    QObject::connect(
        services->m_server.get(), &RemoteServer::listening, webRemote, [webRemote] { webRemote->start(); },
        Qt::QueuedConnection);
    return services;
}

// The server goes first: its connections' pending reads refer to the receive loop.
Services::~Services()
{
    m_status.reset();
    m_webRemote.reset();
    m_server.reset();
    m_receiveLoop.reset();
    m_dispatcher.reset();
    m_actions.reset();
    m_input.reset();
}

} // namespace quillmote
