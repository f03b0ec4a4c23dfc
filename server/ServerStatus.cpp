// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/ServerStatus.h"

#include "server/PairingGate.h"
#include "server/RemoteServer.h"

namespace quillmote {

ServerStatus::ServerStatus(RemoteServer& server, PairingGate& gate, QObject* parent)
    : QObject(parent), m_connectionStatus(tr("等待启动...", "Initial Status"))
{
    connect(
        &server, &RemoteServer::waitingForConnection, this,
        [this] { setConnectionStatus(tr("等待连接...", "Waiting for Connection")); }, Qt::QueuedConnection);
    connect(&server, &RemoteServer::listenerStateChanged, this, &ServerStatus::showListenerState,
            Qt::QueuedConnection);
    connect(&gate, &PairingGate::pairedCountChanged, this, &ServerStatus::showConnectionCount,
            Qt::QueuedConnection);
}

void ServerStatus::showListenerState(ListenerState state, const QString& error)
{
    if (state == ListenerState::Ready)
        setConnectionStatus(tr("服务已广播", "Service Broadcasted"));
    else if (state == ListenerState::Failed)
        setConnectionStatus(tr("启动失败: %@", "Start Failed").replace(QLatin1String("%@"), error));
}

void ServerStatus::showPaired(int count)
{
    setIsConnected(true);
    setConnectionStatus(
        tr("设备已连接 (%d)", "Device Connected").replace(QLatin1String("%d"), QString::number(count)));
}

void ServerStatus::showConnectionCount(int count)
{
    if (count < 1) {
        setIsConnected(false);
        setConnectionStatus(tr("等待连接...", "Waiting for Connection"));
        return;
    }
    showPaired(count);
}

void ServerStatus::setConnectionStatus(const QString& status)
{
    m_connectionStatus = status;
    Q_EMIT connectionStatusChanged(m_connectionStatus);
}

void ServerStatus::setIsConnected(bool connected)
{
    m_isConnected = connected;
    Q_EMIT isConnectedChanged(m_isConnected);
}

} // namespace quillmote
