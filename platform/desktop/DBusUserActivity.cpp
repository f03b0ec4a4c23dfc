// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/desktop/DBusUserActivity.h"

#include <QDBusMessage>

namespace quillmote::desktop {

DBusUserActivity::DBusUserActivity(QDBusConnection bus) : m_bus(std::move(bus)) {}

void DBusUserActivity::simulateUserActivity()
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("SimulateUserActivity"));
    call.setAutoStartService(false);
    m_bus.send(call);
}

} // namespace quillmote::desktop
