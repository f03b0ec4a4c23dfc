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

// The network side of the application: the listener and its advertisement, the registry of
// paired connections, the pairing code, and the status that the user interface shows.
class RemoteServer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString pairingCode READ pairingCode NOTIFY pairingCodeChanged)
    Q_PROPERTY(QString connectionStatus READ connectionStatus NOTIFY connectionStatusChanged)
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
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
    const QString& connectionStatus() const { return m_connectionStatus; }
    bool isConnected() const { return m_isConnected; }
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
    int addAuthenticated(const Connection& connection);
    int removeAuthenticated(const Connection& connection);

    void showPaired(int count);
    void showConnectionCount(int count);

    void notePairingFailure();
    // Replaces the code, shown and stored, by a newly drawn one (once a code was placed).
    // Connections that paired with the old code stay paired.
    void drawNewPairingCode();

    // Runs task on a later turn of the event loop, unless the server is gone by then: status
    // changes always happen after the callback that caused them has returned.
    void post(std::function<void(RemoteServer&)> task);

Q_SIGNALS:
    // Emitted before every change of a published field.
    void objectWillChange();
    void pairingCodeChanged(const QString& pairingCode);
    void connectionStatusChanged(const QString& connectionStatus);
    void isConnectedChanged(bool isConnected);
    void failedPairingAttemptsChanged(int count);
    void listenerStateChanged();
    void listening(quint16 port);

private:
    void setPairingCode(const QString& code);
    void setConnectionStatus(const QString& status);
    void setIsConnected(bool connected);
    void dropLongestIdleUnpaired();
    void updateFailedPairingAttempts();

    ReceiveLoop* m_receiveLoop = nullptr;
    AdvertiserFactory m_advertiserFactory;
    PairingCodeStore m_codeStore;

    std::unique_ptr<Listener> m_listener;
    const QString m_serviceType = QStringLiteral("_zoduvived._tcp");
    const QString m_name;
    QString m_pairingCode = QString::fromLatin1(placeholderCode);
    QString m_connectionStatus;
    bool m_isConnected = false;
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
