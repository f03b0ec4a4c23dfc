// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "actions/DesktopProfile.h"

#include "input/KeyTable.h"

#include <QStandardPaths>

#include <algorithm>
#include <iterator>
#include <optional>

#include <linux/input-event-codes.h>

namespace quillmote::actions {

namespace {
using input::Alt;
using input::Control;
using input::Super;

constexpr KeyChord superTap{KEY_LEFTMETA, 0};
constexpr KeyChord superD{KEY_D, Super};
// The workspace beside this one: every desktop below but KDE binds these by default.
constexpr KeyChord workspaceLeft{KEY_LEFT, Control | Alt};
constexpr KeyChord workspaceRight{KEY_RIGHT, Control | Alt};

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

// KWin's own actions by name: they work whatever keys the user bound to them.
ToolCommand kwinShortcut(const char* name)
{
    const QByteArray argument = QByteArrayLiteral("string:") + name;
    return sessionCall("org.kde.kglobalaccel", "/component/kwin",
                       "org.kde.kglobalaccel.Component.invokeShortcut", {argument.constData()});
}

const Unavailable noLauncher{QStringLiteral("application launcher")};
const Unavailable noOverview{QStringLiteral("window overview")};
const Unavailable noShowDesktop{QStringLiteral("way to show the desktop")};
const Unavailable noWorkspaces{QStringLiteral("workspace switching")};

struct DesktopActions
{
    QStringView name; // matched case-insensitively anywhere in $XDG_CURRENT_DESKTOP
    SystemAction launcher;
    SystemAction overview;
    SystemAction showDesktop;
    SystemAction workspaceLeft = noWorkspaces;
    SystemAction workspaceRight = noWorkspaces;
};

// What each desktop itself offers, a command before a chord. Budgie and Cinnamon come before
// GNOME, whose name their $XDG_CURRENT_DESKTOP may carry.
const std::vector<DesktopActions>& desktopActions()
{
    static const std::vector<DesktopActions> table{
        {u"Budgie", tool("budgie-run-dialog"), noOverview, superD, workspaceLeft, workspaceRight},
        {u"Cinnamon", superTap, KeyChord{KEY_UP, Control | Alt}, superD, workspaceLeft, workspaceRight},
        {u"KDE", sessionCall("org.kde.krunner", "/App", "org.kde.krunner.App.display"),
         kwinShortcut("Overview"), superD, kwinShortcut("Switch One Desktop to the Left"),
         kwinShortcut("Switch One Desktop to the Right")},
        {u"XFCE", tool("xfce4-appfinder"), noOverview, KeyChord{KEY_D, Control | Alt}, workspaceLeft,
         workspaceRight},
        {u"LXQt", KeyChord{KEY_F2, Alt}, noOverview, noShowDesktop, workspaceLeft, workspaceRight},
        {u"MATE", tool("mate-panel", {"--run-dialog"}), noOverview, noShowDesktop, workspaceLeft,
         workspaceRight},
        {u"GNOME", superTap, superTap, superD, workspaceLeft, workspaceRight},
    };
    return table;
}
} // namespace

std::optional<KeyChord> parseAccelerator(QStringView accelerator)
{
    input::ModifierSet modifiers = 0;
    while (accelerator.startsWith(u'<')) {
        const qsizetype end = accelerator.indexOf(u'>');
        if (end < 0)
            return std::nullopt;
        const QStringView name = accelerator.mid(1, end - 1);
        static const std::pair<QStringView, input::Modifier> names[] = {
            {u"Super", Super}, {u"Control", Control}, {u"Ctrl", Control},      {u"Primary", Control},
            {u"Alt", Alt},     {u"Mod1", Alt},        {u"Shift", input::Shift}};
        const auto found = std::find_if(std::begin(names), std::end(names), [name](const auto& entry) {
            return name.compare(entry.first, Qt::CaseInsensitive) == 0;
        });
        if (found == std::end(names))
            return std::nullopt;
        modifiers |= found->second;
        accelerator = accelerator.mid(end + 1);
    }
    // The keys a show-desktop binding plausibly uses; any other leaves the overview in charge.
    if (accelerator.size() == 1) {
        if (const std::optional<std::uint16_t> key =
                input::letterOrDigitKey(accelerator[0].toLower().unicode()))
            return KeyChord{*key, modifiers};
        return std::nullopt;
    }
    static const std::pair<QStringView, std::uint16_t> keys[] = {
        {u"Home", KEY_HOME}, {u"End", KEY_END},     {u"Up", KEY_UP},      {u"Down", KEY_DOWN},
        {u"Left", KEY_LEFT}, {u"Right", KEY_RIGHT}, {u"Escape", KEY_ESC}, {u"space", KEY_SPACE}};
    for (const auto& [name, key] : keys) {
        if (accelerator == name)
            return KeyChord{key, modifiers};
    }
    if (accelerator.startsWith(u'F')) {
        bool ok = false;
        const int number = accelerator.mid(1).toInt(&ok);
        if (ok && number >= 1 && number <= 10)
            return KeyChord{static_cast<std::uint16_t>(KEY_F1 + number - 1), modifiers};
        if (ok && (number == 11 || number == 12))
            return KeyChord{static_cast<std::uint16_t>(KEY_F11 + number - 11), modifiers};
    }
    return std::nullopt;
}

DesktopProfile DesktopProfile::forLinuxDesktop(QStringView currentDesktop, const QString& home,
                                               const QStringList& gnomeShowDesktopKeys)
{
    DesktopActions actions{u"", noLauncher, noOverview, noShowDesktop};
    for (const DesktopActions& candidate : desktopActions()) {
        if (currentDesktop.contains(candidate.name, Qt::CaseInsensitive)) {
            actions = candidate;
            break;
        }
    }
    ToolCommand screenSaver = tool("xdg-screensaver", {"activate"});
    // Stock GNOME binds no show-desktop key, and a Super+D no one grabs types a "d": its own
    // binding if the user made one, else the overview, whose dash is GNOME's dock.
    if (actions.name == u"GNOME") {
        // The shell itself: xdg-screensaver reaches its shield only once the shell's D-Bus relay
        // runs, and the call that starts the relay is lost.
        screenSaver = sessionCall("org.gnome.Shell.ScreenShield", "/org/gnome/ScreenSaver",
                                  "org.gnome.ScreenSaver.SetActive", {"boolean:true"});
        actions.showDesktop = actions.overview;
        for (const QString& accelerator : gnomeShowDesktopKeys) {
            if (const std::optional<KeyChord> chord = parseAccelerator(accelerator)) {
                actions.showDesktop = *chord;
                break;
            }
        }
    }
    return DesktopProfile{
        .showDesktop = actions.showDesktop,
        .launcher = actions.launcher,
        .overview = actions.overview,
        .workspaceLeft = actions.workspaceLeft,
        .workspaceRight = actions.workspaceRight,
        // F5 reloads in every browser and file manager; Control+R does not everywhere.
        .reload = KeyChord{KEY_F5, 0},
        .screenSaver = screenSaver,
        .sleep = tool("systemctl", {"suspend"}),
        .userActivity = tool("xdg-screensaver", {"reset"}),
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
    for (SystemAction* action :
         {&showDesktop, &launcher, &overview, &workspaceLeft, &workspaceRight, &reload}) {
        if (auto* tool = std::get_if<ToolCommand>(action))
            resolve(tool->program);
    }
    for (ToolCommand* tool : {&screenSaver, &sleep, &userActivity})
        resolve(tool->program);
    resolve(opener);
}

} // namespace quillmote::actions
