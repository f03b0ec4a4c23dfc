// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/avahi/AvahiAdvertiser.h"

#include "platform/avahi/AvahiQtPoll.h"
#include "util/Backoff.h"
#include "util/Console.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>

#include <QTimer>

namespace quillmote::avahi {

namespace {
// Each rename yields a new name; a few in a row means something else is wrong.
constexpr int maxRenamesPerRegistration = 16;

QString errorText(int error)
{
    return QString::fromUtf8(avahi_strerror(error));
}

struct AvahiStringDeleter
{
    void operator()(char* text) const { avahi_free(text); }
};

class AvahiAdvertiser : public ServiceAdvertiser
{
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
} // namespace

std::unique_ptr<ServiceAdvertiser> createAdvertiser()
{
    return std::make_unique<AvahiAdvertiser>();
}

AvahiAdvertiser::AvahiAdvertiser()
{
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &AvahiAdvertiser::connectClient);
}

AvahiAdvertiser::~AvahiAdvertiser()
{
    m_group.reset();
    m_client.reset();
}

void AvahiAdvertiser::advertise(const QString& name, const QString& type, quint16 port)
{
    m_name = name.toUtf8();
    m_type = type.toUtf8();
    m_port = port;
    connectClient();
}

void AvahiAdvertiser::connectClient()
{
    int error = 0;
    // NO_FAIL: without a daemon the client waits for one instead of failing, and it comes
    // back to the running state (and so registers again) whenever the daemon restarts.
    AvahiClient* client =
        avahi_client_new(m_poll.poll(), AVAHI_CLIENT_NO_FAIL, &AvahiAdvertiser::onClientState, this, &error);
    if (!client) {
        if (!m_retryDelay.active())
            Q_EMIT unreachable(QStringLiteral("the D-Bus system bus is not reachable (%1); trying again")
                                   .arg(errorText(error)));
        m_retryTimer.start(m_retryDelay.next());
        return;
    }
    m_retryDelay.reset();
    m_client.reset(client);
}

void AvahiAdvertiser::onClientState(AvahiClient* client, AvahiClientState state, void* userdata)
{
    auto* self = static_cast<AvahiAdvertiser*>(userdata);
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        self->registerService(client);
        break;
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_S_REGISTERING:
        // The host name is being (re)registered: our records wait until it is running again.
        if (self->m_group)
            avahi_entry_group_reset(self->m_group.get());
        break;
    case AVAHI_CLIENT_CONNECTING:
        // The daemon went away (or is not there yet); its groups went with it.
        self->m_group.reset();
        Q_EMIT self->unreachable(QStringLiteral("avahi-daemon is not reachable; advertising once it is"));
        break;
    case AVAHI_CLIENT_FAILURE:
        if (avahi_client_errno(client) == AVAHI_ERR_DISCONNECTED) {
            // A daemon that goes away while we are connected ends the client even with
            // NO_FAIL; a new client waits for the daemon to come back. Not from inside the
            // client's own callback, though.
            Q_EMIT self->unreachable(QStringLiteral("avahi-daemon is not reachable; advertising once it is"));
            QMetaObject::invokeMethod(
                self,
                [self] {
                    self->m_group.reset();
                    self->m_client.reset();
                    self->connectClient();
                },
                Qt::QueuedConnection);
            break;
        }
        Q_EMIT self->failed(errorText(avahi_client_errno(client)));
        break;
    }
}

void AvahiAdvertiser::registerService(AvahiClient* client)
{
    if (!m_group) {
        AvahiEntryGroup* group = avahi_entry_group_new(client, &AvahiAdvertiser::onGroupState, this);
        if (!group) {
            Q_EMIT failed(errorText(avahi_client_errno(client)));
            return;
        }
        m_group.reset(group);
    }
    if (!avahi_entry_group_is_empty(m_group.get()))
        return;
    for (int attempt = 0; attempt < maxRenamesPerRegistration; ++attempt) {
        const int result = avahi_entry_group_add_service(
            m_group.get(), AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0), m_name.constData(),
            m_type.constData(), nullptr, nullptr, m_port, nullptr);
        if (result == AVAHI_ERR_COLLISION) {
            pickAlternativeName();
            continue;
        }
        if (result < 0) {
            Q_EMIT failed(errorText(result));
            return;
        }
        const int committed = avahi_entry_group_commit(m_group.get());
        if (committed < 0)
            Q_EMIT failed(errorText(committed));
        return;
    }
    Q_EMIT failed(QStringLiteral("no free service name after %1 renames").arg(maxRenamesPerRegistration));
}

void AvahiAdvertiser::pickAlternativeName()
{
    const std::unique_ptr<char, AvahiStringDeleter> alternative(
        avahi_alternative_service_name(m_name.constData()));
    console::line(QStringLiteral("Service name \"%1\" is taken; advertising as \"%2\"")
                      .arg(QString::fromUtf8(m_name), QString::fromUtf8(alternative.get())));
    m_name = QByteArray(alternative.get());
}

void AvahiAdvertiser::onGroupState(AvahiEntryGroup* group, AvahiEntryGroupState state, void* userdata)
{
    auto* self = static_cast<AvahiAdvertiser*>(userdata);
    switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
        Q_EMIT self->established(QString::fromUtf8(self->m_name));
        break;
    case AVAHI_ENTRY_GROUP_COLLISION:
        self->pickAlternativeName();
        avahi_entry_group_reset(group);
        self->registerService(avahi_entry_group_get_client(group));
        break;
    case AVAHI_ENTRY_GROUP_FAILURE: {
        const int error = avahi_client_errno(avahi_entry_group_get_client(group));
        // The daemon went away: the client moves on to connecting and registers again when
        // the daemon is back, so this is not a failure for good.
        if (error != AVAHI_ERR_DISCONNECTED)
            Q_EMIT self->failed(errorText(error));
        break;
    }
    case AVAHI_ENTRY_GROUP_UNCOMMITED:
    case AVAHI_ENTRY_GROUP_REGISTERING:
        break;
    }
}

} // namespace quillmote::avahi
