// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

namespace quillmote::ui {

// Starting Quillmote at login, through the desktop's XDG autostart folder: an entry there runs
// the program with --minimized (the tray icon, no window).
class LoginStart
{
public:
    // $XDG_CONFIG_HOME/autostart/quillmote.desktop
    static QString entryPath();
    static bool isEnabled();
    // Writes the entry for `program`, or removes it; false when that failed.
    static bool setEnabled(bool enabled, const QString& program);
    // The entry's text; the path is quoted as the Desktop Entry rules ask.
    static QByteArray entry(const QString& program);
    // What the entry should start when `running` runs: the installed program found on PATH
    // instead of one in a build folder, which goes away with a clean build.
    static QString programFor(const QString& running);
    // The program the existing entry starts; empty without an entry.
    static QString entryProgram();
    // Whether `program` lies in a CMake build tree (a folder above it holds CMakeCache.txt).
    static bool isInBuildFolder(const QString& program);
};

} // namespace quillmote::ui
