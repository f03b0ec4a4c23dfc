// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/KnownDevices.h"
#include "server/Peer.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace quillmote {

// Whether a device that sent the right code may pair: a known one at once, a new one once the
// user allows it on the computer (so that a code read off the network is not enough). Devices on
// this computer itself are not asked about.
class DeviceApproval : public QObject
{
    Q_OBJECT
public:
    static constexpr int answerWithinMs = 60'000;
    // Beyond these a new device is refused at once: nobody floods the user with questions.
    static constexpr qsizetype maxRequests = 8;
    static constexpr qsizetype maxWaitingPerRequest = 8;

    using LinkLayerLookup = std::function<QString(const QHostAddress&)>;
    struct Request
    {
        int id = 0;
        QString name;
        QString linkLayerAddress;
        QHostAddress address;
        // "NAME (ADDRESS, LINK-LAYER ADDRESS)", for the question the user is asked.
        QString description() const;
    };
    enum class Verdict { Allowed, Waiting, Refused };

    // `asksForThisComputer` (tests): loopback peers are asked about like any other.
    DeviceApproval(KnownDevices& devices, LinkLayerLookup lookup, int answerWithin = answerWithinMs,
                   bool asksForThisComputer = false);

    KnownDevices& devices() { return m_devices; }
    // Allowed: pair now. Waiting: `answered` runs once with the user's answer (false when none
    // comes in time). Refused: too many questions are open, or nobody could be answered.
    Verdict admit(const Peer& peer, std::function<void(bool allowed)> answered);
    // False when no such request is open.
    bool answer(int id, bool allow);
    // A connection paired as a known device some other way (a browser's key): cut off with it.
    void admitted(quint64 connection, const QString& deviceId) { m_admitted.insert(connection, deviceId); }
    // The connection has ended: it no longer waits for an answer.
    void forget(quint64 connection);
    QList<Request> requests() const;

Q_SIGNALS:
    void requested(const quillmote::DeviceApproval::Request& request);
    void settled(int id, bool allowed);
    // A removed device's connections, which must not stay paired.
    void revoked(const QList<quint64>& connections);

private:
    struct Open
    {
        Request request;
        QString deviceId;
        std::vector<std::pair<quint64, std::function<void(bool)>>> waiting;
    };

    KnownDevices& m_devices;
    LinkLayerLookup m_lookup;
    int m_answerWithin;
    bool m_asksForThisComputer;
    int m_lastId = 0;
    std::vector<Open> m_open;
    // The connections paired through here, by device.
    QHash<quint64, QString> m_admitted;
};

} // namespace quillmote
