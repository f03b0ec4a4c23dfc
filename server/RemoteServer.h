// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/Listener.h"
#include "server/ServiceAdvertiser.h"
#include "util/Console.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>

#include <memory>

namespace quillmote {

class Connection;
class OpenConnection;
class PairingGate;

// The network service: the listener and its advertisement, and the open connections with the
// bound on those that have not paired. Whoever reads commands takes each accepted connection
// from connectionAccepted; who is paired is the gate's, what the user is shown ServerStatus's.
class RemoteServer : public QObject
{
    Q_OBJECT
public:
    struct Dependencies
    {
        PairingGate& gate;
        AdvertiserFactory advertiserFactory;
        // The advertised instance name; empty means the computer's name.
        QString name;
        // How many connections that have not paired may be open at once; 0 derives it from
        // the descriptor limit.
        int unpairedConnectionLimit = 0;
        // The port to listen on; by default one the system chooses.
        PortChoice port = {};
    };

    explicit RemoteServer(Dependencies dependencies);
    ~RemoteServer() override;

    const QString& name() const { return m_name; }
    // For wake-on-LAN; empty when it cannot be read.
    const QString& linkLayerAddress() const { return m_linkLayerAddress; }
    const Listener* listener() const { return m_listener.get(); }
    // Other services advertised under this computer's name: name -> "address:port".
    const QMap<QString, QString>& impostors() const { return m_impostors; }

    // Places the pairing code the first time, then sets the listener up, unless one is
    // ready or being set up.
    void start();
    void handleListenerState(ListenerState state, const QString& error);
    void handleNewConnection(const std::shared_ptr<Connection>& connection);
    // Counts an open connection, of any kind, against the bound on those that have not paired;
    // at the bound the longest-idle of them is shut down first. Held weakly.
    void admit(const std::shared_ptr<OpenConnection>& connection);
    // Ends an open connection from our side, of any kind.
    void shutDown(quint64 identity);

Q_SIGNALS:
    // The code is placed and the listener is being set up.
    void waitingForConnection();
    void listenerStateChanged(quillmote::ListenerState state, const QString& error);
    void listening(quint16 port);
    // Something phones could be misled by changed: the usual port taken, an impostor seen.
    void warningsChanged();
    // Every accepted connection, once; a receiver that wants its commands arms its reads.
    void connectionAccepted(const std::shared_ptr<quillmote::Connection>& connection);

private:
    void dropLongestIdleUnpaired();

    PairingGate& m_gate;
    AdvertiserFactory m_advertiserFactory;

    std::unique_ptr<Listener> m_listener;
    const QString m_serviceType = QStringLiteral("_zoduvived._tcp");
    const QString m_name;
    QString m_linkLayerAddress;
    QMap<QString, QString> m_impostors;

    // Open connections, held weakly: only to bound the unpaired ones.
    QHash<quint64, std::weak_ptr<OpenConnection>> m_openConnections;
    int m_unpairedConnectionLimit;
    PortChoice m_port;
    console::RepeatedLines m_repeatedLines;
};

} // namespace quillmote
