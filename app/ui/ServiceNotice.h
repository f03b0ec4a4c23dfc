// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QLabel>

namespace quillmote {
class RemoteServer;
}

namespace quillmote::ui {

// Shown while avahi-daemon cannot be reached: the server accepts connections, but phones
// cannot find this computer by themselves. Says what to run; hides once the service is
// advertised.
class ServiceNotice : public QLabel
{
    Q_OBJECT
public:
    explicit ServiceNotice(RemoteServer& server, QWidget* parent = nullptr);

private:
    void render();

    RemoteServer& m_server;
};

} // namespace quillmote::ui
