// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/desktop/NetworkManagerWifi.h"

#include "server/HostAddresses.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <memory>

namespace quillmote::desktop {

namespace {
const QString service = QStringLiteral("org.freedesktop.NetworkManager");
const QString managerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr uint privacyFlag = 0x1; // NM_802_11_AP_FLAGS_PRIVACY: WEP at least

QList<QDBusObjectPath> paths(const QVariant& value)
{
    QList<QDBusObjectPath> list;
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> list;
    else
        list = value.value<QList<QDBusObjectPath>>();
    return list;
}
} // namespace

NetworkManagerWifi::NetworkManagerWifi(QDBusConnection bus, host::HostAddresses& addresses)
    : m_bus(std::move(bus)), m_addresses(addresses)
{
    connect(&addresses, &host::HostAddresses::changed, this, &NetworkManagerWifi::refresh);
    // A roam to another network may keep the addresses: NetworkManager says so itself.
    m_bus.connect(service, managerPath, properties, QStringLiteral("PropertiesChanged"), this,
                  SLOT(refresh()));
    m_bus.connect(service, managerPath, service, QStringLiteral("StateChanged"), this, SLOT(refresh()));
    refresh();
}

bool NetworkManagerWifi::isOpen(uint flags, uint wpaFlags, uint rsnFlags)
{
    return (flags & privacyFlag) == 0 && wpaFlags == 0 && rsnFlags == 0;
}

void NetworkManagerWifi::getAll(const QString& path, const QString& interface,
                                const std::function<void(const QVariantMap&)>& answered)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, properties, QStringLiteral("GetAll"));
    call << interface;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, answered, question = m_question](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusPendingReply<QVariantMap> reply = *done;
                if (question == m_question && !reply.isError())
                    answered(reply.value());
            });
}

void NetworkManagerWifi::refresh()
{
    ++m_question;
    getAll(managerPath, service, [this](const QVariantMap& manager) {
        const QList<QDBusObjectPath> active = paths(manager.value(QStringLiteral("ActiveConnections")));
        // The first open network found is named; none found clears what was said.
        auto pending = std::make_shared<int>(0);
        auto open = std::make_shared<QString>();
        const auto settle = [this, pending, open] {
            if (--*pending == 0)
                m_addresses.setOpenWifi(*open);
        };
        for (const QDBusObjectPath& connection : active) {
            ++*pending;
            getAll(connection.path(), service + QStringLiteral(".Connection.Active"),
                   [this, pending, open, settle](const QVariantMap& details) {
                       const QString accessPoint =
                           details.value(QStringLiteral("SpecificObject")).value<QDBusObjectPath>().path();
                       if (details.value(QStringLiteral("Type")).toString() !=
                               QLatin1String("802-11-wireless") ||
                           !accessPoint.startsWith(managerPath)) {
                           settle();
                           return;
                       }
                       ++*pending;
                       settle();
                       getAll(accessPoint, service + QStringLiteral(".AccessPoint"),
                              [open, settle](const QVariantMap& point) {
                                  if (open->isEmpty() &&
                                      isOpen(point.value(QStringLiteral("Flags")).toUInt(),
                                             point.value(QStringLiteral("WpaFlags")).toUInt(),
                                             point.value(QStringLiteral("RsnFlags")).toUInt()))
                                      *open = QString::fromUtf8(
                                          point.value(QStringLiteral("Ssid")).toByteArray());
                                  settle();
                              });
                   });
        }
        if (active.isEmpty())
            m_addresses.setOpenWifi({});
    });
}

} // namespace quillmote::desktop
