// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/avahi/AvahiAdvertiser.h"
#include "protocol/CommandDispatcher.h"
#include "server/BonjourServer.h"

#include <QStandardPaths>

namespace quillmote {

BonjourServer& BonjourServer::shared()
{
    // Created on first use and kept until the process ends; never destroyed, so nothing
    // depends on the order of static destruction after the event loop is gone.
    static BonjourServer* const instance = [] {
        const QString settingsPath = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                     QStringLiteral("/Quillmote/Quillmote.conf");
        auto* server = new BonjourServer({
            .settingsPath = settingsPath,
            .advertiserFactory = [] { return std::make_unique<avahi::AvahiAdvertiser>(); },
            .name = {},
            .unpairedConnectionLimit = 0,
        });
        static CommandDispatcher dispatcher(*server);
        server->setReceiveLoop(&dispatcher);
        return server;
    }();
    return *instance;
}

} // namespace quillmote
