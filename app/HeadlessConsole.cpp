// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/HeadlessConsole.h"

#include "server/DeviceApproval.h"
#include "server/HostAddresses.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"
#include "server/ServerStatus.h"
#include "util/Console.h"
#include "web/QrCode.h"
#include "web/WebRemote.h"

namespace quillmote {

namespace {
constexpr std::chrono::minutes failureReportInterval{1};
}

HeadlessConsole::HeadlessConsole(RemoteServer& server, PairingGate& gate, ServerStatus& status,
                                 web::WebRemote* webRemote, bool showLink, DeviceApproval* approval,
                                 host::HostAddresses* addresses)
    : m_gate(gate), m_lastStatus(status.connectionStatus())
{
    if (addresses) {
        connect(addresses, &host::HostAddresses::openWifiChanged, this, [](const QString& network) {
            if (!network.isEmpty())
                console::line(
                    QStringLiteral("This computer is on the open Wi-Fi network \"%1\": anyone near can read "
                                   "what the phone app sends, the pairing code and typed text included.")
                        .arg(network));
        });
    }
    if (approval) {
        connect(approval, &DeviceApproval::requested, this, [](const DeviceApproval::Request& request) {
            console::line(QStringLiteral("Allow %1 to control this computer? It sent the right code. "
                                         "Answer within %2 s: quillmote --allow %3 (or --deny %3)")
                              .arg(request.description())
                              .arg(DeviceApproval::answerWithinMs / 1000)
                              .arg(request.id));
        });
        connect(approval, &DeviceApproval::settled, this, [](int id, bool allowed) {
            console::line(allowed ? QStringLiteral("Request %1: allowed").arg(id)
                                  : QStringLiteral("Request %1: refused").arg(id));
        });
    }
    if (webRemote) {
        connect(webRemote, &web::WebRemote::listening, this, [](quint16 port) {
            console::line(QStringLiteral("Browser remote listening on port %1").arg(port));
        });
        connect(webRemote, &web::WebRemote::linkChanged, this, [showLink](const QString& link) {
            if (link.isEmpty())
                return;
            // Standard output ends up in journals and logs that outlive the secret's use.
            if (!showLink) {
                console::line(QStringLiteral("Browser remote: %1 (its link with the secret: --show-link)")
                                  .arg(link.section(u'#', 0, 0)));
                return;
            }
            console::line(QStringLiteral("Browser remote: ") + link);
            // Console lines cannot hold a line break: one line per two rows of modules.
            const QStringList rows = web::QrCode::encode(link).halfBlocks().split(u'\n', Qt::SkipEmptyParts);
            for (const QString& row : rows)
                console::line(row);
        });
    }
    m_nextFailureReport.setSingleShot(true);
    connect(&m_nextFailureReport, &QTimer::timeout, this, &HeadlessConsole::reportFailures);
    connect(&gate, &PairingGate::failedPairingAttemptsChanged, this, [this](int count) {
        if (count == 0 || m_nextFailureReport.isActive())
            return;
        const auto now = std::chrono::steady_clock::now();
        if (!m_lastFailureReport || now - *m_lastFailureReport >= failureReportInterval)
            reportFailures();
        else
            m_nextFailureReport.start(std::chrono::duration_cast<std::chrono::milliseconds>(
                *m_lastFailureReport + failureReportInterval - now));
    });
    connect(&gate, &PairingGate::pairingCodeChanged, this,
            [](const QString& code) { console::line(QStringLiteral("Pairing code: ") + code); });
    connect(&server, &RemoteServer::listening, this,
            [](quint16 port) { console::line(QStringLiteral("Listening on port %1").arg(port)); });
    connect(&status, &ServerStatus::connectionStatusChanged, this, [this](const QString& text) {
        if (text == m_lastStatus)
            return;
        m_lastStatus = text;
        console::line(QStringLiteral("Status: ") + text);
    });
}

void HeadlessConsole::reportFailures()
{
    const int count = m_gate.failedPairingAttempts();
    if (count == 0)
        return;
    m_lastFailureReport = std::chrono::steady_clock::now();
    console::line(QStringLiteral("%1 failed pairing attempts in the last minute").arg(count));
}

} // namespace quillmote
