// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/HeadlessConsole.h"

#include "server/BonjourServer.h"
#include "server/Console.h"

namespace quillmote {

HeadlessConsole::HeadlessConsole(BonjourServer& server) : m_lastStatus(server.connectionStatus())
{
    connect(&server, &BonjourServer::pairingCodeChanged, this,
            [](const QString& code) { console::line(QStringLiteral("Pairing code: ") + code); });
    connect(&server, &BonjourServer::listening, this,
            [](quint16 port) { console::line(QStringLiteral("Listening on port %1").arg(port)); });
    connect(&server, &BonjourServer::connectionStatusChanged, this, [this](const QString& status) {
        if (status == m_lastStatus)
            return;
        m_lastStatus = status;
        console::line(QStringLiteral("Status: ") + status);
    });
}

} // namespace quillmote
