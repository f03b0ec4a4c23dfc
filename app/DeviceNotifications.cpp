// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/DeviceNotifications.h"

#include "platform/desktop/ActionNotifications.h"
#include "server/DeviceApproval.h"

namespace quillmote {

DeviceNotifications::DeviceNotifications(DeviceApproval& approval,
                                         desktop::ActionNotifications& notifications)
{
    connect(&approval, &DeviceApproval::requested, this,
            [this, &notifications](const DeviceApproval::Request& request) {
                notifications.show(
                    request.id, tr("允许新设备？"),
                    tr("允许 %1 控制这台电脑？它发来了正确的配对码。").arg(request.description()),
                    {QStringLiteral("allow"), tr("允许"), QStringLiteral("deny"), tr("拒绝")});
            });
    connect(&approval, &DeviceApproval::settled, &notifications, &desktop::ActionNotifications::close);
    connect(&notifications, &desktop::ActionNotifications::actionInvoked, this,
            [&approval](int id, const QString& action) {
                if (action == QLatin1String("allow") || action == QLatin1String("deny"))
                    approval.answer(id, action == QLatin1String("allow"));
            });
}

} // namespace quillmote
