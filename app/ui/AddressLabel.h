// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "util/UniqueFd.h"

#include <QLabel>
#include <QSocketNotifier>

#include <memory>

namespace quillmote {
class RemoteServer;
}

namespace quillmote::ui {

// Tells when an interface or an address comes or goes, from the kernel's routing messages:
// nothing to poll, and nothing woken while the network stays as it is.
class AddressWatcher : public QObject
{
    Q_OBJECT
public:
    explicit AddressWatcher(QObject* parent = nullptr);

Q_SIGNALS:
    void changed();

private:
    UniqueFd m_socket;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// Where a phone can reach this computer without DNS-SD; hidden while nothing listens.
class AddressLabel : public QLabel
{
    Q_OBJECT
public:
    explicit AddressLabel(RemoteServer& server, QWidget* parent = nullptr);
    void refresh();

private:
    RemoteServer& m_server;
    AddressWatcher m_watcher;
};

} // namespace quillmote::ui
