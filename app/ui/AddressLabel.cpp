// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/AddressLabel.h"

#include "app/ui/Fonts.h"
#include "app/ui/ViewContext.h"
#include "server/RemoteServer.h"

namespace quillmote::ui {

AddressLabel::AddressLabel(RemoteServer& server, QWidget* parent) : QLabel(parent), m_server(server)
{
    setFont(fonts::caption());
    setForegroundRole(QPalette::PlaceholderText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    connect(&server, &RemoteServer::listenerStateChanged, this, &AddressLabel::refresh);
    connect(&server, &RemoteServer::listening, this, &AddressLabel::refresh);
    m_timer.setInterval(refreshIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &AddressLabel::refresh);
    refresh();
}

void AddressLabel::refresh()
{
    const QString addresses = connectAddresses(m_server);
    // Unchanged text repaints nothing.
    setText(addresses.isEmpty() ? QString() : tr("地址：%1").arg(addresses));
    setVisible(!addresses.isEmpty());
}

void AddressLabel::showEvent(QShowEvent* event)
{
    m_timer.start();
    QLabel::showEvent(event);
}

void AddressLabel::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QLabel::hideEvent(event);
}

} // namespace quillmote::ui
