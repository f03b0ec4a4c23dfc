// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace quillmote::host {

inline constexpr auto fallbackComputerName = "Dod Evuded Azirid";

struct InterfaceRecord
{
    QString name;
    bool up = false;
    bool loopback = false;
    QByteArray hardwareAddress;
};

// The interface whose address a client may use for wake-on-LAN: "en0" when it has a 6-byte
// address, whatever its state; else the IPv4 default route's interface; else the first
// interface by name that is up, not loopback and has a 6-byte address. Empty when none.
QString chooseLinkLayerAddress(const std::vector<InterfaceRecord>& interfaces,
                               const QString& defaultRouteInterface);

// "aa:bb:cc:dd:ee:ff" for exactly six bytes, else empty.
QString formatLinkLayerAddress(const QByteArray& bytes);

// The link-layer records of getifaddrs (AF_PACKET), in the order the system lists them.
std::vector<InterfaceRecord> readInterfaces();

// The interface of the lowest-metric IPv4 default route in a /proc/net/route text, or empty.
QString defaultRouteInterface(const QByteArray& procNetRoute);

// The address as above for this machine, read from the system.
QString linkLayerAddress();

// PRETTY_HOSTNAME of a machine-info text, else the host name, else the fixed fallback.
QString computerName(const QByteArray& machineInfo, const QString& hostName);

// The computer's name read from /etc/machine-info and gethostname().
QString localComputerName();

} // namespace quillmote::host
