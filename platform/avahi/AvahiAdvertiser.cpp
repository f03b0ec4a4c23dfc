// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/avahi/AvahiAdvertiser.h"

#include "platform/avahi/AvahiQtPoll.h"
#include "util/Backoff.h"
#include "util/Console.h"
#include "util/Log.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>

#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>

namespace quillmote::avahi {

namespace {
// Whether two service names are one to DNS-SD, which ignores the case of ASCII letters only.
bool sameServiceName(const QByteArray& a, const QByteArray& b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// Avahi's alternatives ("Name #2", "Name #3", …) in a row; after them a name with a random
// suffix, which nobody can take ahead of time, and registrations spaced by a back-off.
constexpr int maxRenamesInARow = 16;

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
    struct BrowserDeleter
    {
        void operator()(AvahiServiceBrowser* browser) const { avahi_service_browser_free(browser); }
    };

    static void onClientState(AvahiClient* client, AvahiClientState state, void* userdata);
    static void onGroupState(AvahiEntryGroup* group, AvahiEntryGroupState state, void* userdata);
    static void onBrowse(AvahiServiceBrowser* browser, AvahiIfIndex interface, AvahiProtocol protocol,
                         AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                         AvahiLookupResultFlags flags, void* userdata);
    static void onResolved(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol protocol,
                           AvahiResolverEvent event, const char* name, const char* type, const char* domain,
                           const char* host, const AvahiAddress* address, uint16_t port, AvahiStringList* txt,
                           AvahiLookupResultFlags flags, void* userdata);
    void connectClient();
    void registerService(AvahiClient* client);
    void pickAlternativeName();
    void browse(AvahiClient* client);

    AvahiQtPoll m_poll;
    std::unique_ptr<AvahiClient, ClientDeleter> m_client;
    std::unique_ptr<AvahiEntryGroup, GroupDeleter> m_group;
    std::unique_ptr<AvahiServiceBrowser, BrowserDeleter> m_browser;
    QByteArray m_wantedName;
    QByteArray m_name;
    int m_renamesInARow = 0;
    QTimer m_registerTimer;
    Backoff m_registerDelay{1000, 60'000};
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
    m_registerTimer.setSingleShot(true);
    connect(&m_registerTimer, &QTimer::timeout, this, [this] {
        if (m_client && avahi_client_get_state(m_client.get()) == AVAHI_CLIENT_S_RUNNING)
            registerService(m_client.get());
    });
}

AvahiAdvertiser::~AvahiAdvertiser()
{
    m_browser.reset();
    m_group.reset();
    m_client.reset();
}

void AvahiAdvertiser::advertise(const QString& name, const QString& type, quint16 port)
{
    m_wantedName = name.toUtf8();
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
    qCDebug(lcPlatform).noquote() << "avahi client state" << int(state);
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        self->registerService(client);
        self->browse(client);
        break;
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_S_REGISTERING:
        // The host name is being (re)registered: our records wait until it is running again.
        if (self->m_group)
            avahi_entry_group_reset(self->m_group.get());
        break;
    case AVAHI_CLIENT_CONNECTING:
        // The daemon went away (or is not there yet); its groups went with it.
        self->m_browser.reset();
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
                    self->m_browser.reset();
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
    // Names taken by others never stop the advertising: another one is tried, at once while
    // Avahi's alternatives last, then after a growing delay.
    for (;;) {
        const int result = avahi_entry_group_add_service(
            m_group.get(), AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0), m_name.constData(),
            m_type.constData(), nullptr, nullptr, m_port, nullptr);
        if (result == AVAHI_ERR_COLLISION) {
            pickAlternativeName();
            if (m_registerTimer.isActive())
                return;
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
}

void AvahiAdvertiser::pickAlternativeName()
{
    QByteArray next;
    if (++m_renamesInARow <= maxRenamesInARow) {
        const std::unique_ptr<char, AvahiStringDeleter> alternative(
            avahi_alternative_service_name(m_name.constData()));
        next = QByteArray(alternative.get());
    } else {
        next =
            m_wantedName + " (" + QByteArray::number(QRandomGenerator::system()->bounded(0x10000u), 16) + ")";
        m_registerTimer.start(m_registerDelay.next());
    }
    console::line(QStringLiteral("Service name \"%1\" is taken; advertising as \"%2\"")
                      .arg(QString::fromUtf8(m_name), QString::fromUtf8(next)));
    m_name = next;
}

void AvahiAdvertiser::browse(AvahiClient* client)
{
    if (m_browser)
        return;
    m_browser.reset(avahi_service_browser_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, m_type.constData(),
                                              nullptr, AvahiLookupFlags(0), &AvahiAdvertiser::onBrowse,
                                              this));
}

void AvahiAdvertiser::onBrowse(AvahiServiceBrowser* browser, AvahiIfIndex interface, AvahiProtocol protocol,
                               AvahiBrowserEvent event, const char* name, const char* type,
                               const char* domain, AvahiLookupResultFlags flags, void* userdata)
{
    auto* self = static_cast<AvahiAdvertiser*>(userdata);
    // Only our own name matters, and only when it is not ours. DNS-SD names are one name whatever
    // the case of their ASCII letters: "VM" takes "vm" from phones as surely as "vm" does.
    if (!name || !sameServiceName(self->m_wantedName, name) || (flags & AVAHI_LOOKUP_RESULT_OUR_OWN))
        return;
    if (event == AVAHI_BROWSER_REMOVE) {
        Q_EMIT self->impostorGone(QString::fromUtf8(name));
    } else if (event == AVAHI_BROWSER_NEW) {
        // Freed in its own callback, once it answered.
        avahi_service_resolver_new(avahi_service_browser_get_client(browser), interface, protocol, name, type,
                                   domain, AVAHI_PROTO_UNSPEC, AvahiLookupFlags(0),
                                   &AvahiAdvertiser::onResolved, self);
    }
}

void AvahiAdvertiser::onResolved(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol,
                                 AvahiResolverEvent event, const char* name, const char*, const char*,
                                 const char*, const AvahiAddress* address, uint16_t port, AvahiStringList*,
                                 AvahiLookupResultFlags flags, void* userdata)
{
    auto* self = static_cast<AvahiAdvertiser*>(userdata);
    if (event == AVAHI_RESOLVER_FOUND && address && !(flags & AVAHI_LOOKUP_RESULT_OUR_OWN)) {
        char text[AVAHI_ADDRESS_STR_MAX] = {};
        avahi_address_snprint(text, sizeof text, address);
        const QString host = address->proto == AVAHI_PROTO_INET6
                                 ? QStringLiteral("[%1]").arg(QString::fromUtf8(text))
                                 : QString::fromUtf8(text);
        Q_EMIT self->impostorSeen(QString::fromUtf8(name), QStringLiteral("%1:%2").arg(host).arg(port));
    }
    avahi_service_resolver_free(resolver);
}

void AvahiAdvertiser::onGroupState(AvahiEntryGroup* group, AvahiEntryGroupState state, void* userdata)
{
    auto* self = static_cast<AvahiAdvertiser*>(userdata);
    qCDebug(lcPlatform).noquote() << "avahi entry group state" << int(state) << "for" << self->m_name;
    switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
        self->m_renamesInARow = 0;
        self->m_registerDelay.reset();
        Q_EMIT self->established(QString::fromUtf8(self->m_name));
        break;
    case AVAHI_ENTRY_GROUP_COLLISION:
        self->pickAlternativeName();
        avahi_entry_group_reset(group);
        if (!self->m_registerTimer.isActive())
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
