// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/AddressLabel.h"

#include "app/ui/Fonts.h"
#include "app/ui/ViewContext.h"
#include "server/HostAddresses.h"
#include "server/Listener.h"
#include "server/RemoteServer.h"

#include <QEvent>

namespace quillmote::ui {

AddressLabel::AddressLabel(RemoteServer& server, host::HostAddresses& addresses, QWidget* parent)
    : QLabel(parent), m_server(server), m_addresses(addresses)
{
    setFont(fonts::caption());
    setForegroundRole(QPalette::PlaceholderText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    connect(&server, &RemoteServer::listenerStateChanged, this, &AddressLabel::refresh);
    connect(&server, &RemoteServer::listening, this, &AddressLabel::refresh);
    connect(&m_addresses, &host::HostAddresses::changed, this, &AddressLabel::refresh);
    followWindow();
    refresh();
}

AddressLabel::~AddressLabel()
{
    m_addresses.watch(this, false);
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
    if (shown == m_watching)
        return;
    m_watching = shown;
    m_addresses.watch(this, shown);
    if (shown)
        refresh();
}

void AddressLabel::refresh()
{
    // Nothing to connect to while nothing listens.
    const Listener* listener = m_server.listener();
    const QString addresses =
        listener && listener->port() != 0 ? m_addresses.connectAddresses(listener->port()) : QString();
    // Unchanged text repaints nothing.
    setText(addresses.isEmpty() ? QString() : tr("地址：%1").arg(addresses));
    setVisible(!addresses.isEmpty());
}

} // namespace quillmote::ui
