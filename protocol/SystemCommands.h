// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>
#include <QStringView>

namespace quillmote::actions {
class DesktopActions;
}

namespace quillmote::protocol {

// "CMD:": one named system action; the reply depends on the name alone.
QString handleSystemCommand(actions::DesktopActions& actions, QStringView rest);
// "QUERY:APP:": always answered, with an empty list when nothing matched.
QString handleQueryApp(actions::DesktopActions& actions, QStringView rest);

} // namespace quillmote::protocol
