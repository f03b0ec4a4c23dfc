// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/AddressLabel.h"

#include "app/ui/Fonts.h"
#include "app/ui/ViewContext.h"
#include "server/RemoteServer.h"

#include <QEvent>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace quillmote::ui {

void AddressWatcher::setWatching(bool watching)
{
    if (!watching) {
        m_notifier.reset();
        m_socket.reset();
        return;
    }
    if (m_notifier)
        return;
    UniqueFd socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE));
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (!socket || ::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return; // then the addresses are read when the window is shown and when the listener changes
    m_socket = std::move(socket);
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
    followWindow();
    refresh();
}

bool AddressLabel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        watchWhileShown();
    return QLabel::eventFilter(watched, event);
}

void AddressLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ParentChange)
        followWindow();
    QLabel::changeEvent(event);
}

void AddressLabel::followWindow()
{
    if (m_window == window())
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window();
    m_window->installEventFilter(this);
    watchWhileShown();
}

void AddressLabel::watchWhileShown()
{
    const bool shown = m_window && m_window->isVisible();
    if (shown == m_watcher.isWatching())
        return;
    m_watcher.setWatching(shown);
    if (shown)
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
