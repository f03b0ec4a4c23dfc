// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/SharedInstances.h"
#include "actions/HostActions.h"
#include "app/CommandLine.h"
#include "app/InputBackends.h"
#include "input/InputController.h"
#include "platform/avahi/AvahiAdvertiser.h"
#include "platform/desktop/DBusUserActivity.h"
#include "platform/desktop/GioAppCatalogue.h"
#include "protocol/CommandDispatcher.h"
#include "server/RemoteServer.h"
#include "util/Console.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>

namespace quillmote {

namespace {
// This process's own command line, which main has already checked.
CommandLine processCommandLine()
{
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return parseCommandLine(arguments).commandLine.value_or(CommandLine{});
}

PortChoice listeningPort(const CommandLine& line, const QString& settingsPath);
} // namespace

input::InputController& input::InputController::shared()
{
    // Made on first use from this process's own command line (which main has checked), so the
    // choice needs no global of its own. A named backend that fails leaves the none backend,
    // which main then refuses.
    static InputController* const instance = [] {
        QString error;
        std::unique_ptr<EventSink> sink = createEventSink(processCommandLine().input, &error);
        if (!sink) {
            std::fprintf(stderr, "quillmote: %s\n", qPrintable(error));
            sink = std::make_unique<NoneSink>();
        }
        return new InputController(std::move(sink));
    }();
    return *instance;
}

actions::HostActions& actions::HostActions::shared()
{
    static HostActions* const instance = [] {
        static desktop::GioAppCatalogue catalogue;
        static desktop::DBusUserActivity userActivity(QDBusConnection::sessionBus());
        HostProfile profile =
            HostProfile::forLinuxDesktop(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), QDir::homePath());
        profile.resolveTools(HostProfile::systemToolFolders());
        return new HostActions({
            .input = input::InputController::shared(),
            .profile = std::move(profile),
            .catalogue = catalogue,
            .userActivity = userActivity,
        });
    }();
    return *instance;
}

QString settingsFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quillmote/Quillmote.conf");
}

namespace {
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
} // namespace

RemoteServer& RemoteServer::shared()
{
    // Created on first use and kept until the process ends; never destroyed, so nothing
    // depends on the order of static destruction after the event loop is gone.
    static RemoteServer* const instance = [] {
        auto* server = new RemoteServer({
            .settingsPath = settingsFilePath(),
            .advertiserFactory = [] { return std::make_unique<avahi::AvahiAdvertiser>(); },
            .name = {},
            .unpairedConnectionLimit = 0,
            .port = listeningPort(processCommandLine(), settingsFilePath()),
        });
        static CommandDispatcher dispatcher(*server, &input::InputController::shared(),
                                            &actions::HostActions::shared());
        server->setReceiveLoop(&dispatcher);
        return server;
    }();
    return *instance;
}

} // namespace quillmote
