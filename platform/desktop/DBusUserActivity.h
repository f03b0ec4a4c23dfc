// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "actions/UserActivity.h"

#include <QDBusConnection>

namespace quillmote::desktop {

// Calls org.freedesktop.ScreenSaver.SimulateUserActivity on the given bus (the session bus in
// the application) without waiting for an answer, so a missing or hung screen saver service
// never holds the event loop.
class DBusUserActivity : public actions::UserActivity
{
public:
    explicit DBusUserActivity(QDBusConnection bus);
    void simulateUserActivity() override;

private:
    QDBusConnection m_bus;
};

} // namespace quillmote::desktop
