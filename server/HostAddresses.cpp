// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/HostAddresses.h"

#include "server/HostIdentity.h"

#include <QFile>
#include <QNetworkInterface>
#include <QSysInfo>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace quillmote::host {

HostAddresses::HostAddresses(AddressReader addresses, RouteReader route, QObject* parent)
    : QObject(parent), m_addresses(std::move(addresses)), m_route(std::move(route))
{
}

HostAddresses::~HostAddresses() = default;

QString HostAddresses::readDefaultRoute()
{
    QFile routes(QStringLiteral("/proc/net/route"));
    return routes.open(QIODevice::ReadOnly) ? defaultRouteInterface(routes.readAll()) : QString();
}

std::vector<InterfaceAddress> HostAddresses::readAddresses()
{
    std::vector<InterfaceAddress> addresses;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp))
            continue;
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries)
            addresses.push_back(
                {interface.name(), entry.ip(), flags.testFlag(QNetworkInterface::IsLoopBack)});
    }
    return addresses;
}

QString HostAddresses::linkAddress() const
{
    // The route is read only here: the other answers do without it.
    const QString routeInterface = m_route();
    QString fallback;
    for (const InterfaceAddress& entry : m_addresses()) {
        if (entry.loopback || entry.address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        if (entry.interface == routeInterface)
            return entry.address.toString();
        if (fallback.isEmpty())
            fallback = entry.address.toString();
    }
    return fallback.isEmpty() ? QStringLiteral("localhost") : fallback;
}

QString HostAddresses::connectAddresses(quint16 port) const
{
    QStringList v4, v6;
    for (const InterfaceAddress& entry : m_addresses()) {
        if (entry.loopback)
            continue;
        if (entry.address.protocol() == QAbstractSocket::IPv4Protocol)
            v4 << QStringLiteral("%1:%2").arg(entry.address.toString()).arg(port);
        else if (entry.address.protocol() == QAbstractSocket::IPv6Protocol && !entry.address.isLinkLocal())
            v6 << QStringLiteral("[%1]:%2").arg(entry.address.toString()).arg(port);
    }
    return (v4 + v6).join(QStringLiteral(", "));
}

QStringList HostAddresses::hostNames() const
{
    const QString name = QSysInfo::machineHostName().toLower();
    QStringList names{QStringLiteral("localhost"), name, name + QStringLiteral(".local")};
    for (const InterfaceAddress& entry : m_addresses()) {
        QHostAddress address = entry.address;
        address.setScopeId({});
        names << address.toString().toLower();
    }
    return names;
}

void HostAddresses::setOpenWifi(const QString& network)
{
    if (network == m_openWifi)
        return;
    m_openWifi = network;
    Q_EMIT openWifiChanged(network);
}

void HostAddresses::watch(const QObject* watcher, bool on)
{
    if (on)
        m_watchers.insert(watcher);
    else
        m_watchers.remove(watcher);
    listen(!m_watchers.isEmpty());
}

void HostAddresses::listen(bool on)
{
    if (!on) {
        // Closed, so a busy network (Wi-Fi, IPv6 renewals) wakes nobody.
        m_notifier.reset();
        m_socket.reset();
        return;
    }
    if (m_notifier)
        return;
    UniqueFd socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE));
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE;
    if (!socket || ::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return; // then the addresses are read again only when asked
    m_socket = std::move(socket);
    m_notifier = std::make_unique<QSocketNotifier>(m_socket.get(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buffer[8192];
        while (::recv(m_socket.get(), buffer, sizeof buffer, 0) > 0) {
        }
        Q_EMIT changed();
    });
}

} // namespace quillmote::host
