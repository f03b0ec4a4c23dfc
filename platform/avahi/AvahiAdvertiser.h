// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "platform/avahi/AvahiQtPoll.h"
#include "server/ServiceAdvertiser.h"
#include "util/Backoff.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>

#include <QTimer>

#include <memory>

namespace quillmote::avahi {

// Publishes the service through the system's avahi-daemon over D-Bus. The client outlives
// daemon restarts (it waits for the daemon and registers again), and a name taken by another
// service on the network is replaced by Avahi's alternative name.
class AvahiAdvertiser : public ServiceAdvertiser
{
    Q_OBJECT
public:
    AvahiAdvertiser();
    ~AvahiAdvertiser() override;

    void advertise(const QString& name, const QString& type, quint16 port) override;

private:
    struct ClientDeleter
    {
        void operator()(AvahiClient* client) const { avahi_client_free(client); }
    };
    struct GroupDeleter
    {
        void operator()(AvahiEntryGroup* group) const { avahi_entry_group_free(group); }
    };

    static void onClientState(AvahiClient* client, AvahiClientState state, void* userdata);
    static void onGroupState(AvahiEntryGroup* group, AvahiEntryGroupState state, void* userdata);
    void connectClient();
    void registerService(AvahiClient* client);
    void pickAlternativeName();

    AvahiQtPoll m_poll;
    std::unique_ptr<AvahiClient, ClientDeleter> m_client;
    std::unique_ptr<AvahiEntryGroup, GroupDeleter> m_group;
    QByteArray m_name;
    QByteArray m_type;
    quint16 m_port = 0;
    QTimer m_retryTimer;
    // Without a system bus the client cannot even wait for the daemon; it is made again later.
    Backoff m_retryDelay{1000, 30'000};
};

} // namespace quillmote::avahi
