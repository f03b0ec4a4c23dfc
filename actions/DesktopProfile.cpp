// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "actions/DesktopProfile.h"

#include <QStandardPaths>

#include <linux/input-event-codes.h>

namespace quillmote::actions {

namespace {
using input::Alt;
using input::Control;
using input::Super;

constexpr KeyChord superTap{KEY_LEFTMETA, 0};
constexpr KeyChord superD{KEY_D, Super};

ToolCommand tool(const char* program, std::initializer_list<const char*> arguments = {})
{
    ToolCommand command{QString::fromLatin1(program), {}};
    for (const char* argument : arguments)
        command.arguments << QString::fromLatin1(argument);
    return command;
}

ToolCommand sessionCall(const char* service, const char* path, const char* method,
                        std::initializer_list<const char*> arguments = {})
{
    ToolCommand command = tool("dbus-send", {"--session", "--type=method_call"});
    command.arguments << QStringLiteral("--dest=") + QString::fromLatin1(service) << QString::fromLatin1(path)
                      << QString::fromLatin1(method);
    for (const char* argument : arguments)
        command.arguments << QString::fromLatin1(argument);
    return command;
}

const Unavailable noLauncher{QStringLiteral("application launcher")};
const Unavailable noOverview{QStringLiteral("window overview")};
const Unavailable noShowDesktop{QStringLiteral("way to show the desktop")};

struct DesktopActions
{
    QStringView name; // matched case-insensitively anywhere in $XDG_CURRENT_DESKTOP
    SystemAction launcher;
    SystemAction overview;
    SystemAction showDesktop;
};

// What each desktop itself offers, a command before a chord. Budgie and Cinnamon come before
// GNOME, whose name their $XDG_CURRENT_DESKTOP may carry.
const std::vector<DesktopActions>& desktopActions()
{
    static const std::vector<DesktopActions> table{
        {u"Budgie", tool("budgie-run-dialog"), noOverview, superD},
        {u"Cinnamon", superTap, KeyChord{KEY_UP, Control | Alt}, superD},
        {u"KDE", sessionCall("org.kde.krunner", "/App", "org.kde.krunner.App.display"),
         sessionCall("org.kde.kglobalaccel", "/component/kwin",
                     "org.kde.kglobalaccel.Component.invokeShortcut", {"string:Overview"}),
         superD},
        {u"XFCE", tool("xfce4-appfinder"), noOverview, KeyChord{KEY_D, Control | Alt}},
        {u"LXQt", KeyChord{KEY_F2, Alt}, noOverview, noShowDesktop},
        {u"MATE", tool("mate-panel", {"--run-dialog"}), noOverview, noShowDesktop},
        {u"GNOME", superTap, superTap, superD},
    };
    return table;
}
} // namespace

DesktopProfile DesktopProfile::forLinuxDesktop(QStringView currentDesktop, const QString& home)
{
    DesktopActions actions{u"", noLauncher, noOverview, noShowDesktop};
    for (const DesktopActions& candidate : desktopActions()) {
        if (currentDesktop.contains(candidate.name, Qt::CaseInsensitive)) {
            actions = candidate;
            break;
        }
    }
    return DesktopProfile{
        .showDesktop = actions.showDesktop,
        .launcher = actions.launcher,
        .overview = actions.overview,
        // F5 reloads in every browser and file manager; Control+R does not everywhere.
        .reload = KeyChord{KEY_F5, 0},
        .screenSaver = {QStringLiteral("xdg-screensaver"), {QStringLiteral("activate")}},
        .sleep = {QStringLiteral("systemctl"), {QStringLiteral("suspend")}},
        .userActivity = {QStringLiteral("xdg-screensaver"), {QStringLiteral("reset")}},
        .opener = QStringLiteral("xdg-open"),
        .applicationFolders = {home + QStringLiteral("/Applications"), home + QStringLiteral("/AppImages")},
        .bundleExtension = QStringLiteral("AppImage"),
    };
}

QStringList DesktopProfile::systemToolFolders()
{
    return {QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/sbin"),
            QStringLiteral("/usr/bin"),        QStringLiteral("/sbin"),          QStringLiteral("/bin")};
}

void DesktopProfile::resolveTools(const QStringList& folders)
{
    const auto resolve = [&folders](QString& program) {
        if (program.startsWith(QLatin1Char('/')))
            return;
        const QString found = QStandardPaths::findExecutable(program, folders);
        if (!found.isEmpty())
            program = found;
    };
    for (SystemAction* action : {&showDesktop, &launcher, &overview, &reload}) {
        if (auto* tool = std::get_if<ToolCommand>(action))
            resolve(tool->program);
    }
    for (ToolCommand* tool : {&screenSaver, &sleep, &userActivity})
        resolve(tool->program);
    resolve(opener);
}

} // namespace quillmote::actions
