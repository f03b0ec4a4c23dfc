// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "util/UniqueFd.h"

#include <QLabel>
#include <QPointer>
#include <QSocketNotifier>

#include <memory>

namespace quillmote {
class RemoteServer;
}

namespace quillmote::ui {

// Tells when an interface or an address comes or goes, from the kernel's routing messages:
// nothing to poll, and nothing woken while the network stays as it is or nobody watches.
class AddressWatcher : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    bool isWatching() const { return m_notifier != nullptr; }
    // Off, the socket is closed: a busy network (Wi-Fi, IPv6 renewals) wakes nobody.
    void setWatching(bool watching);

Q_SIGNALS:
    void changed();

private:
    UniqueFd m_socket;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// Where a phone can reach this computer without DNS-SD; hidden while nothing listens. The
// addresses are followed while the label's window is shown, and read again when it reappears.
class AddressLabel : public QLabel
{
    Q_OBJECT
public:
    explicit AddressLabel(RemoteServer& server, QWidget* parent = nullptr);
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
    AddressWatcher m_watcher;
    QPointer<QWidget> m_window;
};

} // namespace quillmote::ui
