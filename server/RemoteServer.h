// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/Listener.h"
#include "server/PairingCodeStore.h"
#include "server/RecentCount.h"
#include "server/ServiceAdvertiser.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace quillmote {

class Connection;
class ReceiveLoop;

// The network service: the listener and its advertisement, the open and paired connections and
// their bound, and the pairing code. What the user is shown of it is ServerStatus's.
class RemoteServer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString pairingCode READ pairingCode NOTIFY pairingCodeChanged)
    Q_PROPERTY(int failedPairingAttempts READ failedPairingAttempts NOTIFY failedPairingAttemptsChanged)
public:
    static constexpr auto placeholderCode = "------";

    struct Dependencies
    {
        QString settingsPath;
        AdvertiserFactory advertiserFactory;
        // The advertised instance name; empty means the computer's name.
        QString name;
        // How many connections that have not paired may be open at once; 0 derives it from
        // the descriptor limit.
        int unpairedConnectionLimit = 0;
        // The port to listen on; by default one the system chooses.
        PortChoice port = {};
        std::function<std::chrono::steady_clock::time_point()> clock = &std::chrono::steady_clock::now;
    };

    explicit RemoteServer(Dependencies dependencies);
    ~RemoteServer() override;

    void setReceiveLoop(ReceiveLoop* receiveLoop) { m_receiveLoop = receiveLoop; }

    const QString& pairingCode() const { return m_pairingCode; }
    // Pairing attempts that failed in the last minute, wrong or refused.
    int failedPairingAttempts() const { return m_failedPairingAttempts; }
    const QString& serviceType() const { return m_serviceType; }
    const QString& name() const { return m_name; }
    const QString& macAddress() const { return m_macAddress; }
    const Listener* listener() const { return m_listener.get(); }
    int unpairedConnectionLimit() const { return m_unpairedConnectionLimit; }

    void start();
    void handleListenerState(ListenerState state, const QString& error);
    void handleNewConnection(const std::shared_ptr<Connection>& connection);

    bool isAuthenticated(const Connection& connection);
    // Both announce the number of paired connections that follows (pairedCountChanged).
    void addAuthenticated(const Connection& connection);
    void removeAuthenticated(const Connection& connection);

    void notePairingFailure();
    // Replaces the code, shown and stored, by a newly drawn one (once a code was placed).
    // Connections that paired with the old code stay paired.
    void drawNewPairingCode();

Q_SIGNALS:
    // Emitted before every change of a published field.
    void objectWillChange();
    void pairingCodeChanged(const QString& pairingCode);
    void failedPairingAttemptsChanged(int count);
    // The code is placed and the listener is being set up.
    void waitingForConnection();
    void listenerStateChanged(quillmote::ListenerState state, const QString& error);
    void pairedCountChanged(int count);
    void listening(quint16 port);

private:
    void setPairingCode(const QString& code);
    void setAuthenticated(const Connection& connection, bool paired);
    void dropLongestIdleUnpaired();
    void updateFailedPairingAttempts();

    ReceiveLoop* m_receiveLoop = nullptr;
    AdvertiserFactory m_advertiserFactory;
    PairingCodeStore m_codeStore;

    std::unique_ptr<Listener> m_listener;
    const QString m_serviceType = QStringLiteral("_zoduvived._tcp");
    const QString m_name;
    QString m_pairingCode = QString::fromLatin1(placeholderCode);
    QSet<quint64> m_authenticatedConnections;
    std::mutex m_activeConnectionsLock;
    QString m_macAddress;

    // Open connections, held weakly: only to bound the unpaired ones.
    QHash<quint64, std::weak_ptr<Connection>> m_openConnections;
    int m_unpairedConnectionLimit;
    PortChoice m_port;

    std::function<std::chrono::steady_clock::time_point()> m_clock;
    RecentCount m_pairingFailures;
    int m_failedPairingAttempts = 0;
    // Runs only while failures are in the window, to let the count fall back to 0.
    QTimer m_failureDecay;
};

} // namespace quillmote
