// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/LoginSession.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace quillmote::desktop {

// This process's login session as logind knows it (its session, else the user's display session:
// "auto"), followed through its Active property. Nothing is waited for: inactive until answered.
class LogindSession : public input::LoginSession
{
    Q_OBJECT
public:
    explicit LogindSession(QDBusConnection systemBus);
    bool isActive() const override { return m_active; }

private Q_SLOTS:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    void readActive();
    void setActive(bool active);

    QDBusConnection m_bus;
    QString m_path;
    bool m_active = false;
};

} // namespace quillmote::desktop
