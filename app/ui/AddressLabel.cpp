// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/AddressLabel.h"

#include "app/ui/Fonts.h"
#include "app/ui/ViewContext.h"
#include "server/RemoteServer.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace quillmote::ui {

AddressWatcher::AddressWatcher(QObject* parent)
    : QObject(parent), m_socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE))
{
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (!m_socket || ::bind(m_socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return; // then the addresses are read when the view is built and when the listener changes
    m_notifier = std::make_unique<QSocketNotifier>(m_socket.get(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buffer[8192];
        while (::recv(m_socket.get(), buffer, sizeof buffer, 0) > 0) {
        }
        Q_EMIT changed();
    });
}

AddressLabel::AddressLabel(RemoteServer& server, QWidget* parent) : QLabel(parent), m_server(server)
{
    setFont(fonts::caption());
    setForegroundRole(QPalette::PlaceholderText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    connect(&server, &RemoteServer::listenerStateChanged, this, &AddressLabel::refresh);
    connect(&server, &RemoteServer::listening, this, &AddressLabel::refresh);
    connect(&m_watcher, &AddressWatcher::changed, this, &AddressLabel::refresh);
    refresh();
}

void AddressLabel::refresh()
{
    const QString addresses = connectAddresses(m_server);
    // Unchanged text repaints nothing.
    setText(addresses.isEmpty() ? QString() : tr("地址：%1").arg(addresses));
    setVisible(!addresses.isEmpty());
}

} // namespace quillmote::ui
