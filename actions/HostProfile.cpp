// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "actions/HostProfile.h"

#include <QStandardPaths>

namespace quillmote::actions {

namespace {
// Flags of the desktop event model.
constexpr std::uint64_t command = 0x100000;
constexpr std::uint64_t option = 0x80000;
constexpr std::uint64_t control = 0x40000;

constexpr std::uint16_t keyD = 2;
constexpr std::uint16_t keyW = 13;
constexpr std::uint16_t keyR = 15;
constexpr std::uint16_t keySpace = 49;
constexpr std::uint16_t keyControl = 59; // arrives as Super
constexpr std::uint16_t keyF2 = 120;

// A lone Super tap: pressed as the Control key with no flags, which maps to Super.
constexpr KeyChord superTap{keyControl, 0};
constexpr KeyChord superD{keyD, control};

struct DesktopChords
{
    QStringView name; // matched case-insensitively anywhere in $XDG_CURRENT_DESKTOP
    KeyChord launcher;
    KeyChord overview;
    KeyChord showDesktop;
};

constexpr DesktopChords desktopChords[] = {
    {u"GNOME", superTap, superTap, superD},
    {u"KDE", {keySpace, option}, {keyW, control}, superD},
    {u"XFCE", {keyF2, option}, superTap, {keyD, command | option}},
};
constexpr DesktopChords fallbackChords{u"", superTap, superTap, superD};
} // namespace

HostProfile HostProfile::forLinuxDesktop(QStringView currentDesktop, const QString& home)
{
    DesktopChords chords = fallbackChords;
    for (const DesktopChords& candidate : desktopChords) {
        if (currentDesktop.contains(candidate.name, Qt::CaseInsensitive)) {
            chords = candidate;
            break;
        }
    }
    return HostProfile{
        .showDesktop = chords.showDesktop,
        .launcher = chords.launcher,
        .overview = chords.overview,
        .reload = KeyChord{keyR, command},
        .closeWindow = KeyChord{keyW, command},
        .screenSaver = {QStringLiteral("xdg-screensaver"), {QStringLiteral("activate")}},
        .sleep = {QStringLiteral("systemctl"), {QStringLiteral("suspend")}},
        .userActivity = {QStringLiteral("xdg-screensaver"), {QStringLiteral("reset")}},
        .opener = QStringLiteral("xdg-open"),
        .openStyle = OpenStyle::DesktopEntries,
        .applicationFolders = {home + QStringLiteral("/Applications"), home + QStringLiteral("/AppImages")},
        .bundleExtension = QStringLiteral("AppImage"),
    };
}

QStringList HostProfile::systemToolFolders()
{
    return {QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/sbin"),
            QStringLiteral("/usr/bin"),        QStringLiteral("/sbin"),          QStringLiteral("/bin")};
}

void HostProfile::resolveTools(const QStringList& folders)
{
    const auto resolve = [&folders](QString& program) {
        if (program.startsWith(QLatin1Char('/')))
            return;
        const QString found = QStandardPaths::findExecutable(program, folders);
        if (!found.isEmpty())
            program = found;
    };
    for (SystemAction* action : {&showDesktop, &launcher, &overview, &reload, &closeWindow}) {
        if (auto* tool = std::get_if<ToolCommand>(action))
            resolve(tool->program);
    }
    for (ToolCommand* tool : {&screenSaver, &sleep, &userActivity})
        resolve(tool->program);
    resolve(opener);
}

HostProfile HostProfile::macOS(const QString& home)
{
    const QString open = QStringLiteral("/usr/bin/open");
    const QString openApp = QStringLiteral("-a");
    return HostProfile{
        .showDesktop = KeyChord{keyD, command | option},
        .launcher = KeyChord{keySpace, command},
        .overview = ToolCommand{open, {openApp, QStringLiteral("Mission Control")}},
        .reload = KeyChord{keyR, command},
        .closeWindow = KeyChord{keyW, command},
        .screenSaver = {open, {openApp, QStringLiteral("ScreenSaverEngine")}},
        .sleep = {QStringLiteral("/usr/bin/osascript"),
                  {QStringLiteral("-e"), QStringLiteral("tell application \"Finder\" to sleep")}},
        .userActivity = {QStringLiteral("/usr/bin/caffeinate"),
                         {QStringLiteral("-u"), QStringLiteral("-t"), QStringLiteral("2")}},
        .opener = open,
        .openStyle = OpenStyle::OpenerTool,
        .applicationFolders = {QStringLiteral("/Applications"), QStringLiteral("/System/Applications"),
                               home + QStringLiteral("/Applications"),
                               home + QStringLiteral("/Applications/Chrome Apps")},
        .bundleExtension = QStringLiteral("app"),
    };
}

} // namespace quillmote::actions
