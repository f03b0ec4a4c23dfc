// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "protocol/CommandDispatcher.h"
#include "protocol/ReceiveLoop.h"
#include "server/DeviceApproval.h"
#include "server/HostAddresses.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"
#include "server/ServerStatus.h"
#include "support/ManualAdvertiser.h"
#include "util/Settings.h"

#include <QPointer>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

namespace quillmote::test {

// A fresh server on a fresh settings file, with its pairing gate and receive loop, on a real
// TCP listener. Without an input controller its commands are ignored.
struct ServerFixture
{
    explicit ServerFixture(PairingThrottle::Clock clock = &std::chrono::steady_clock::now,
                           input::InputController* input = nullptr, PortChoice port = {},
                           bool asksAboutNewDevices = false)
        : gate(settings, std::move(clock))
    {
        server = std::make_unique<RemoteServer>(RemoteServer::Dependencies{
            .gate = gate,
            .advertiserFactory = [this]() -> std::unique_ptr<ServiceAdvertiser> {
                auto advertiser = std::make_unique<ManualAdvertiser>();
                lastAdvertiser = advertiser.get();
                return advertiser;
            },
            .name = QStringLiteral("Test Host"),
            .port = port,
        });
        dispatcher = std::make_unique<CommandDispatcher>(*server, gate, input, nullptr,
                                                         asksAboutNewDevices ? &approval : nullptr);
        receiveLoop = std::make_unique<ReceiveLoop>(*server, gate, *dispatcher);
        status = std::make_unique<ServerStatus>(*server, gate);
    }
    ~ServerFixture()
    {
        status.reset();
        server.reset();
        receiveLoop.reset();
        dispatcher.reset();
    }

    quint16 port() const { return server->listener() ? server->listener()->port() : 0; }
    QByteArray pairCommand() const { return "PAIR:" + gate.pairingCode().toUtf8(); }
    QByteArray pairedReply() const { return "PAIR_SUCCESS|" + server->linkLayerAddress().toUtf8(); }

    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("Quillmote.conf"))};
    host::HostAddresses addresses;
    QPointer<ManualAdvertiser> lastAdvertiser;
    PairingGate gate;
    KnownDevices devices{settings};
    // Loopback clients stand for devices, each by its address; an answer is waited for 1 s.
    DeviceApproval approval{devices, [](const QHostAddress&) { return QString(); }, 1000, true};
    std::unique_ptr<RemoteServer> server;
    std::unique_ptr<CommandDispatcher> dispatcher;
    std::unique_ptr<ReceiveLoop> receiveLoop;
    std::unique_ptr<ServerStatus> status;
};

} // namespace quillmote::test
