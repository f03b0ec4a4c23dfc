// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

namespace quillmote {

class DeviceApproval;
namespace host {
class HostAddresses;
}
class PairingGate;
class RemoteServer;
class ServerStatus;
namespace web {
class WebRemote;
}

// What --headless prints about the server: the pairing code, each listener's port, the
// status text whenever it changes, and failed pairing attempts at most once a minute.
class HeadlessConsole : public QObject
{
    Q_OBJECT
public:
    // With a browser remote, also its port and address when it listens; with showLink its link,
    // secret included, and the link's QR code instead.
    // With an approval, each question about a new device and how to answer it.
    HeadlessConsole(RemoteServer& server, PairingGate& gate, ServerStatus& status,
                    web::WebRemote* webRemote = nullptr, bool showLink = false,
                    DeviceApproval* approval = nullptr, host::HostAddresses* addresses = nullptr);

private:
    void reportFailures();

    PairingGate& m_gate;
    QString m_lastStatus;
    std::optional<std::chrono::steady_clock::time_point> m_lastFailureReport;
    QTimer m_nextFailureReport;
};

} // namespace quillmote
