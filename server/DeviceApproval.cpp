// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/DeviceApproval.h"

#include "util/Log.h"

#include <QTimer>

#include <algorithm>

namespace quillmote {

QString DeviceApproval::Request::description() const
{
    QString where = KnownDevices::idFor({}, address);
    if (!linkLayerAddress.isEmpty())
        where += QStringLiteral(", ") + linkLayerAddress;
    return QStringLiteral("%1 (%2)").arg(name, where);
}

DeviceApproval::DeviceApproval(KnownDevices& devices, LinkLayerLookup lookup, int answerWithin,
                               bool asksForThisComputer)
    : m_devices(devices), m_lookup(std::move(lookup)), m_answerWithin(answerWithin),
      m_asksForThisComputer(asksForThisComputer)
{
    connect(&m_devices, &KnownDevices::removed, this, [this](const QString& id) {
        QList<quint64> connections;
        for (auto it = m_admitted.begin(); it != m_admitted.end();) {
            if (it.value() == id) {
                connections << it.key();
                it = m_admitted.erase(it);
            } else {
                ++it;
            }
        }
        if (!connections.isEmpty())
            Q_EMIT revoked(connections);
    });
}

DeviceApproval::Verdict DeviceApproval::admit(const Peer& peer, std::function<void(bool)> answered)
{
    const QString name = peer.name.isEmpty() ? QStringLiteral("Phone app") : peer.name;
    if (peer.address.isLoopback() && !m_asksForThisComputer)
        return Verdict::Allowed;
    const QString linkLayer = m_lookup(peer.address);
    const QString id = KnownDevices::idFor(linkLayer, peer.address);
    if (m_devices.find(id) || !m_devices.asksAboutNewDevices()) {
        m_devices.remember(name, linkLayer, peer.address);
        m_admitted.insert(peer.identity, id);
        return Verdict::Allowed;
    }
    if (!answered)
        return Verdict::Refused;
    auto open = std::find_if(m_open.begin(), m_open.end(), [&](const Open& o) { return o.deviceId == id; });
    if (open == m_open.end()) {
        if (std::ssize(m_open) >= maxRequests)
            return Verdict::Refused;
        m_open.push_back({{++m_lastId, name, linkLayer, peer.address}, id, {}});
        open = std::prev(m_open.end());
        QTimer::singleShot(m_answerWithin, this, [this, requestId = m_lastId] { answer(requestId, false); });
        Q_EMIT requested(open->request);
    } else if (std::ssize(open->waiting) >= maxWaitingPerRequest) {
        return Verdict::Refused;
    }
    // The answer pairs this very connection: it is the one known as admitted.
    open->waiting.emplace_back(
        peer.identity, [this, identity = peer.identity, id, answered = std::move(answered)](bool allowed) {
            if (allowed)
                m_admitted.insert(identity, id);
            answered(allowed);
        });
    return Verdict::Waiting;
}

bool DeviceApproval::answer(int id, bool allow)
{
    const auto open =
        std::find_if(m_open.begin(), m_open.end(), [id](const Open& o) { return o.request.id == id; });
    if (open == m_open.end())
        return false;
    const Open settledRequest = std::move(*open);
    m_open.erase(open);
    qCDebug(lcServer).noquote() << "device" << settledRequest.request.description()
                                << (allow ? "allowed" : "refused");
    if (allow)
        m_devices.remember(settledRequest.request.name, settledRequest.request.linkLayerAddress,
                           settledRequest.request.address);
    Q_EMIT settled(id, allow);
    for (const auto& [connection, answered] : settledRequest.waiting)
        answered(allow);
    return true;
}

void DeviceApproval::forget(quint64 connection)
{
    m_admitted.remove(connection);
    for (Open& open : m_open)
        std::erase_if(open.waiting,
                      [connection](const auto& waiting) { return waiting.first == connection; });
}

QList<DeviceApproval::Request> DeviceApproval::requests() const
{
    QList<Request> requests;
    for (const Open& open : m_open)
        requests << open.request;
    return requests;
}

} // namespace quillmote
