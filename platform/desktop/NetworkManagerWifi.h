// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QDBusConnection>
#include <QObject>

namespace quillmote::host {
class HostAddresses;
}

namespace quillmote::desktop {

// Tells the host addresses whether this computer is on an unencrypted Wi-Fi network, from
// NetworkManager on the given (system) bus: its active Wi-Fi connections' access points. Asked
// at start and whenever the addresses or NetworkManager's connections change; nothing waits for
// the answers, and without NetworkManager nothing is said.
class NetworkManagerWifi : public QObject
{
    Q_OBJECT
public:
    NetworkManagerWifi(QDBusConnection bus, host::HostAddresses& addresses);

    // Whether an access point with these flags (NetworkManager's Flags, WpaFlags, RsnFlags)
    // carries traffic in clear.
    static bool isOpen(uint flags, uint wpaFlags, uint rsnFlags);

public Q_SLOTS:
    void refresh();

private:
    void getAll(const QString& path, const QString& interface,
                const std::function<void(const QVariantMap&)>& answered);

    QDBusConnection m_bus;
    host::HostAddresses& m_addresses;
    // Answers to an older question are dropped.
    quint64 m_question = 0;
};

} // namespace quillmote::desktop
