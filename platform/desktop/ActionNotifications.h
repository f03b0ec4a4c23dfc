// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

namespace quillmote::desktop {

// Desktop notifications with buttons (org.freedesktop.Notifications) on the given bus. Nothing
// waits for the notification server: one that is missing or hung only means no notification.
class ActionNotifications : public QObject
{
    Q_OBJECT
public:
    explicit ActionNotifications(QDBusConnection bus, QObject* parent = nullptr);

    // Shows a notification that stays until closed; `key` is the caller's own number for it.
    // actions: pairs of an action's name and its button's text.
    void show(int key, const QString& summary, const QString& body, const QStringList& actions);
    void close(int key);

Q_SIGNALS:
    void actionInvoked(int key, const QString& action);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    QHash<int, uint> m_shown;   // key -> the server's id
    QHash<int, bool> m_pending; // key -> closed before the server said its id
};

} // namespace quillmote::desktop
