// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QLabel>
#include <QTimer>

namespace quillmote {
class RemoteServer;
}

namespace quillmote::ui {

// Where a client can reach this computer without DNS-SD (see connectAddresses), selectable;
// hidden while nothing listens. Follows the network while shown (a new lease, Wi-Fi joined).
class AddressLabel : public QLabel
{
    Q_OBJECT
public:
    static constexpr int refreshIntervalMs = 2000;

    explicit AddressLabel(RemoteServer& server, QWidget* parent = nullptr);
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    RemoteServer& m_server;
    QTimer m_timer;
};

} // namespace quillmote::ui
