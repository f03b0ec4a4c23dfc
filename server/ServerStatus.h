// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/Listener.h"

#include <QObject>
#include <QString>

namespace quillmote {

class PairingGate;
class RemoteServer;

// What the user sees of the server: the status text and whether a device is paired. It follows
// the server's signals on a later turn of the event loop, so a status change never happens
// inside the network callback that caused it.
class ServerStatus : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString connectionStatus READ connectionStatus NOTIFY connectionStatusChanged)
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
public:
    ServerStatus(RemoteServer& server, PairingGate& gate, QObject* parent = nullptr);

    const QString& connectionStatus() const { return m_connectionStatus; }
    bool isConnected() const { return m_isConnected; }

    void showPaired(int count);
    void showConnectionCount(int count);

Q_SIGNALS:
    void connectionStatusChanged(const QString& connectionStatus);
    void isConnectedChanged(bool isConnected);

private:
    void showListenerState(ListenerState state, const QString& error);
    void setConnectionStatus(const QString& status);
    void setIsConnected(bool connected);

    QString m_connectionStatus;
    bool m_isConnected = false;
};

} // namespace quillmote
