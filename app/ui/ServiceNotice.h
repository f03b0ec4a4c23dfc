// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QLabel>

namespace quillmote {
class RemoteServer;
namespace host {
class HostAddresses;
}
} // namespace quillmote

namespace quillmote::ui {

// Shown while avahi-daemon cannot be reached: the server accepts connections, but phones
// cannot find this computer by themselves. Says what to run; hides once the service is
// advertised.
class ServiceNotice : public QLabel
{
    Q_OBJECT
public:
    // With the addresses, also an open Wi-Fi network this computer is on.
    explicit ServiceNotice(RemoteServer& server, host::HostAddresses* addresses = nullptr,
                           QWidget* parent = nullptr);

private:
    void render();

    RemoteServer& m_server;
    host::HostAddresses* m_addresses;
};

} // namespace quillmote::ui
