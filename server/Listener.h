// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/Backoff.h"
#include "server/ServiceAdvertiser.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

namespace quillmote {

enum class ListenerState { Setup, Waiting, Ready, Failed, Cancelled };

// One TCP listener on a system-chosen port (IPv4 and IPv6) and its DNS-SD advertisement.
// Ready means both: listening, and the service is established.
class Listener : public QObject
{
    Q_OBJECT
public:
    Listener(std::unique_ptr<ServiceAdvertiser> advertiser, QString name, QString type);
    ~Listener() override;

    ListenerState state() const { return m_state; }
    // Description of the last waiting or failure state.
    const QString& error() const { return m_error; }
    quint16 port() const;

    void start();
    void cancel();

Q_SIGNALS:
    void stateChanged(quillmote::ListenerState state, const QString& error);
    void listening(quint16 port);
    // An accepted, connected socket descriptor; the receiver owns it.
    void newConnection(int descriptor);

private:
    bool listen(QString* error);
    void closeSocket();
    void acceptPending();
    void setState(ListenerState state, const QString& error = {});

    int m_socket = -1;
    quint16 m_port = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<ServiceAdvertiser> m_advertiser;
    QString m_name;
    QString m_type;
    ListenerState m_state = ListenerState::Setup;
    QString m_error;
    QTimer m_resumeTimer;
    // Out of descriptors, the pending connection keeps the socket readable: retrying at once
    // would spin, so accepting resumes after a delay.
    Backoff m_resumeDelay{50, 1000};
};

} // namespace quillmote
