// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/PortHolder.h"
#include "server/ServiceAdvertiser.h"
#include "util/Backoff.h"
#include "util/UniqueFd.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

namespace quillmote {

enum class ListenerState { Setup, Waiting, Ready, Failed, Cancelled };

// Which port to listen on: 0 lets the system choose. A port the user named must be had or the
// listener fails; the default port gives way to a system-chosen one when it is taken.
struct PortChoice
{
    // Above 60999, the end of Linux's default range for outgoing connections, so that it is
    // rarely taken by chance, and in the range that is never assigned to a service.
    static constexpr quint16 defaultPort = QUILLMOTE_DEFAULT_PORT;

    quint16 port = 0;
    bool fallBackWhenTaken = false;

    static PortChoice preferred() { return {defaultPort, true}; }
};

// One TCP listener (IPv4 and IPv6) and its DNS-SD advertisement of the port it really has.
// Ready means both: listening, and the service is established.
class Listener : public QObject
{
    Q_OBJECT
public:
    Listener(std::unique_ptr<ServiceAdvertiser> advertiser, QString name, QString type, PortChoice port = {});
    ~Listener() override;

    ListenerState state() const { return m_state; }
    // Description of the last waiting or failure state.
    const QString& error() const { return m_error; }
    quint16 port() const;
    // The port asked for when another program held it and a system-chosen one was taken: phones
    // that come to the usual port reach that program. 0 otherwise.
    quint16 takenPort() const { return m_takenPort; }
    // Who holds that port, as far as the kernel tells.
    const PortHolder& takenBy() const { return m_takenBy; }
    // The name the service is advertised under once established; empty before.
    const QString& advertisedName() const { return m_advertisedName; }

    void start();
    void cancel();

Q_SIGNALS:
    void stateChanged(quillmote::ListenerState state, const QString& error);
    void listening(quint16 port);
    // An accepted, connected socket descriptor; the receiver owns it.
    void newConnection(int descriptor);
    void impostorSeen(const QString& name, const QString& where);
    void impostorGone(const QString& name);

private:
    bool listen(quint16 port, QString* error, int* errorNumber = nullptr);
    void closeSocket();
    void acceptPending();
    void setState(ListenerState state, const QString& error = {});

    UniqueFd m_socket;
    quint16 m_port = 0;
    quint16 m_takenPort = 0;
    PortHolder m_takenBy;
    QString m_advertisedName;
    PortChoice m_choice;
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
