// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/desktop/LogindSession.h"

#include "util/Log.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace quillmote::desktop {

namespace {
const QString service = QStringLiteral("org.freedesktop.login1");
const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int callTimeoutMs = 3000;
} // namespace

LogindSession::LogindSession(QDBusConnection systemBus) : m_bus(std::move(systemBus))
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/login1"),
                                                       QStringLiteral("org.freedesktop.login1.Manager"),
                                                       QStringLiteral("GetSession"));
    call << QStringLiteral("auto");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *finished;
        if (reply.isError()) {
            qCDebug(lcInput).noquote() << "no login session:" << reply.error().message();
            return;
        }
        m_path = reply.value().path();
        m_bus.connect(service, m_path, properties, QStringLiteral("PropertiesChanged"), this,
                      SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
        readActive();
    });
}

void LogindSession::readActive()
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, m_path, properties, QStringLiteral("Get"));
    call << sessionInterface << QStringLiteral("Active");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        if (!reply.isError())
            setActive(reply.value().variant().toBool());
    });
}

void LogindSession::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                        const QStringList& invalidated)
{
    if (interface != sessionInterface)
        return;
    if (const auto active = changed.find(QStringLiteral("Active")); active != changed.end())
        setActive(active->toBool());
    else if (invalidated.contains(QStringLiteral("Active")))
        readActive();
}

void LogindSession::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    qCDebug(lcInput).noquote() << "login session" << m_path << (active ? "in front" : "not in front");
    Q_EMIT activeChanged(active);
}

} // namespace quillmote::desktop
