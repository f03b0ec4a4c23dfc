// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "protocol/SystemCommands.h"

#include "actions/DesktopActions.h"

#include <array>

namespace quillmote::protocol {

namespace {
using actions::DesktopActions;

struct NamedCommand
{
    QLatin1StringView name;
    QLatin1StringView reply;
    void (*perform)(DesktopActions&);
};

// Compared exactly, in this order.
const std::array<NamedCommand, 12> namedCommands{{
    {QLatin1StringView("DOCK"), QLatin1StringView("ACK_DOCK"), [](DesktopActions& a) { a.showDesktop(); }},
    {QLatin1StringView("SPOTLIGHT"), QLatin1StringView("ACK_SPOTLIGHT"),
     [](DesktopActions& a) { a.perform(a.profile().launcher); }},
    {QLatin1StringView("MISSION_CONTROL"), QLatin1StringView("ACK_MISSION_CONTROL"),
     [](DesktopActions& a) { a.perform(a.profile().overview); }},
    // Added for the browser remote's three-finger swipes; the phone app never sends them.
    {QLatin1StringView("WORKSPACE_LEFT"), QLatin1StringView("ACK_WORKSPACE_LEFT"),
     [](DesktopActions& a) { a.perform(a.profile().workspaceLeft); }},
    {QLatin1StringView("WORKSPACE_RIGHT"), QLatin1StringView("ACK_WORKSPACE_RIGHT"),
     [](DesktopActions& a) { a.perform(a.profile().workspaceRight); }},
    {QLatin1StringView("REFRESH"), QLatin1StringView("ACK_REFRESH"),
     [](DesktopActions& a) { a.perform(a.profile().reload); }},
    {QLatin1StringView("CLOSE_WINDOW"), QLatin1StringView("ACK_CLOSE_WINDOW"),
     [](DesktopActions& a) { a.closeWindow(); }},
    {QLatin1StringView("WAKE"), QLatin1StringView("ACK_WAKE"), [](DesktopActions& a) { a.wakeDisplay(); }},
    {QLatin1StringView("SCREENSAVER"), QLatin1StringView("ACK_SCREENSAVER"),
     [](DesktopActions& a) { a.startScreenSaver(); }},
    {QLatin1StringView("SLEEP"), QLatin1StringView("ACK_SLEEP"),
     [](DesktopActions& a) { a.perform(a.profile().sleep); }},
    {QLatin1StringView("DISPLAY_SLEEP"), QLatin1StringView("ACK_DISPLAY_SLEEP"),
     [](DesktopActions& a) { a.startScreenSaver(); }},
    {QLatin1StringView("TOGGLE_DISPLAY"), QLatin1StringView("ACK_TOGGLE_DISPLAY"),
     [](DesktopActions& a) { a.wakeDisplay(); }},
}};

constexpr QLatin1StringView openApp("OPEN:APP:");
constexpr QLatin1StringView openUrl("OPEN:URL:");
} // namespace

QString handleSystemCommand(DesktopActions& actions, QStringView rest)
{
    for (const NamedCommand& command : namedCommands) {
        if (rest == command.name) {
            command.perform(actions);
            return command.reply;
        }
    }
    if (rest.startsWith(openApp)) {
        actions.openApplication(rest.mid(openApp.size()).toString());
        return QStringLiteral("ACK_OPEN_APP");
    }
    if (rest.startsWith(openUrl)) {
        actions.openUrl(rest.mid(openUrl.size()).toString());
        return QStringLiteral("ACK_OPEN_URL");
    }
    return {};
}

QString handleQueryApp(DesktopActions& actions, QStringView rest)
{
    // Names and paths are written as they are: the format has no escaping.
    QString reply = QStringLiteral("RESULT:APP:");
    bool first = true;
    for (const actions::AppSearchResult& result : actions.searchApplications(rest.toString())) {
        if (!first)
            reply += QLatin1String("||");
        reply += result.name + QLatin1String("::") + result.path;
        first = false;
    }
    return reply;
}

} // namespace quillmote::protocol
