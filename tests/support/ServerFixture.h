// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "protocol/CommandDispatcher.h"
#include "server/RemoteServer.h"
#include "server/ServerStatus.h"
#include "support/ManualAdvertiser.h"

#include <QPointer>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

namespace quillmote::test {

// A fresh server on a fresh settings file, with its receive loop, on a real TCP listener.
// Without an input controller or host actions, their commands are ignored.
struct ServerFixture
{
    explicit ServerFixture(PairingThrottle::Clock clock = &std::chrono::steady_clock::now,
                           input::InputController* input = nullptr)
    {
        server = std::make_unique<RemoteServer>(RemoteServer::Dependencies{
            .settingsPath = dir.filePath(QStringLiteral("Quillmote.conf")),
            .advertiserFactory = [this]() -> std::unique_ptr<ServiceAdvertiser> {
                if (!advertiserAvailable)
                    return nullptr;
                auto advertiser = std::make_unique<ManualAdvertiser>();
                lastAdvertiser = advertiser.get();
                return advertiser;
            },
            .name = QStringLiteral("Test Host"),
            .clock = clock,
        });
        dispatcher =
            std::make_unique<CommandDispatcher>(*server, input, nullptr, PairingThrottle(std::move(clock)));
        server->setReceiveLoop(dispatcher.get());
        status = std::make_unique<ServerStatus>(*server);
    }
    ~ServerFixture()
    {
        status.reset();
        dispatcher.reset();
        server.reset();
    }

    quint16 port() const { return server->listener() ? server->listener()->port() : 0; }

    QTemporaryDir dir;
    bool advertiserAvailable = true;
    QPointer<ManualAdvertiser> lastAdvertiser;
    std::unique_ptr<RemoteServer> server;
    std::unique_ptr<CommandDispatcher> dispatcher;
    std::unique_ptr<ServerStatus> status;
};

} // namespace quillmote::test
