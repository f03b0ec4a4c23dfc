// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QLabel>
#include <QPointer>

namespace quillmote {
class RemoteServer;
namespace host {
class HostAddresses;
}
} // namespace quillmote

namespace quillmote::ui {

// Where a phone can reach this computer without DNS-SD; hidden while nothing listens. The
// addresses are followed while the label's window is shown, and read again when it reappears.
class AddressLabel : public QLabel
{
    Q_OBJECT
public:
    AddressLabel(RemoteServer& server, host::HostAddresses& addresses, QWidget* parent = nullptr);
    ~AddressLabel() override;
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The label hides itself while it has nothing to say, so its window's showing and hiding
    // is what counts.
    void followWindow();
    void watchWhileShown();

    RemoteServer& m_server;
    host::HostAddresses& m_addresses;
    bool m_watching = false;
    QPointer<QWidget> m_window;
};

} // namespace quillmote::ui
