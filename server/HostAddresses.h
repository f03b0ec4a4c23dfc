// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "util/UniqueFd.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace quillmote::host {

struct InterfaceAddress
{
    QString interface;
    QHostAddress address;
    bool loopback = false;
};

// This computer's addresses: read from the system at each question, so an answer is never stale,
// and `changed` while someone watches, from the kernel's routing messages: nothing is polled,
// and nothing is woken while nobody watches.
class HostAddresses : public QObject
{
    Q_OBJECT
public:
    // The addresses of the interfaces that are up, and the IPv4 default route's interface.
    using AddressReader = std::function<std::vector<InterfaceAddress>()>;
    using RouteReader = std::function<QString()>;

    // The system's by default; tests pass their own.
    explicit HostAddresses(AddressReader addresses = &readAddresses, RouteReader route = &readDefaultRoute,
                           QObject* parent = nullptr);
    ~HostAddresses() override;

    // The address for a link: the IPv4 address of the default route's interface, else another
    // one of an interface that is not loopback, else localhost.
    QString linkAddress() const;
    // "address:port" for each address of an interface that is not loopback (IPv4 first, IPv6 in
    // brackets, link-local left out), joined by ", ".
    QString connectAddresses(quint16 port) const;
    // What this computer may be called in a Host header, in lower case.
    QStringList hostNames() const;

    // Whether `watcher` wants `changed`; the kernel is listened to while anyone does.
    void watch(const QObject* watcher, bool on);

    static std::vector<InterfaceAddress> readAddresses();
    static QString readDefaultRoute();

    // The name of an unencrypted Wi-Fi network this computer is on, where the desktop's network
    // service tells (empty otherwise): anyone near can read what the phone app sends there.
    const QString& openWifi() const { return m_openWifi; }
    void setOpenWifi(const QString& network);

Q_SIGNALS:
    // An interface or an address came or went.
    void changed();
    void openWifiChanged(const QString& network);

private:
    void listen(bool on);

    AddressReader m_addresses;
    RouteReader m_route;
    QSet<const QObject*> m_watchers;
    UniqueFd m_socket;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QString m_openWifi;
};

} // namespace quillmote::host
