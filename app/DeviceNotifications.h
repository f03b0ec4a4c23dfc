// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QObject>

namespace quillmote {

class DeviceApproval;
namespace desktop {
class ActionNotifications;
}

// Asks about each new device in a desktop notification with "Allow" and "Deny" buttons too, so
// that the user need not open the window; it goes away once answered anywhere.
class DeviceNotifications : public QObject
{
    Q_OBJECT
public:
    DeviceNotifications(DeviceApproval& approval, desktop::ActionNotifications& notifications);
};

} // namespace quillmote
