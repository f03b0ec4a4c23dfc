// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/desktop/ActionNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace quillmote::desktop {

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

ActionNotifications::ActionNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus))
{
    m_bus.connect(service, path, service, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, path, service, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
}

void ActionNotifications::show(int key, const QString& summary, const QString& body,
                               const QStringList& actions)
{
    QDBusMessage notify = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    // Critical: kept on screen until answered, where the server honours it.
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue<uchar>(2)},
                            {QStringLiteral("desktop-entry"), QStringLiteral("quillmote")}};
    notify << QStringLiteral("Quillmote") << uint(0) << QStringLiteral("quillmote") << summary << body
           << actions << hints << 0;
    m_pending.insert(key, false);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, key](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        const bool closedEarly = m_pending.take(key);
        if (reply.isError())
            return;
        if (closedEarly)
            m_bus.asyncCall(
                QDBusMessage::createMethodCall(service, path, service, QStringLiteral("CloseNotification"))
                << reply.value());
        else
            m_shown.insert(key, reply.value());
    });
}

void ActionNotifications::close(int key)
{
    if (m_pending.contains(key)) {
        m_pending[key] = true;
        return;
    }
    if (!m_shown.contains(key))
        return;
    m_bus.asyncCall(
        QDBusMessage::createMethodCall(service, path, service, QStringLiteral("CloseNotification"))
        << m_shown.take(key));
}

void ActionNotifications::onActionInvoked(uint id, const QString& action)
{
    const int key = m_shown.key(id, 0);
    if (key != 0)
        Q_EMIT actionInvoked(key, action);
}

void ActionNotifications::onClosed(uint id, uint)
{
    m_shown.remove(m_shown.key(id, 0));
}

} // namespace quillmote::desktop
