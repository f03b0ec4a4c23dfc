// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <variant>

namespace quillmote::actions {

// A shortcut: an evdev key with its modifiers.
struct KeyChord
{
    std::uint16_t key = 0;
    input::ModifierSet modifiers = 0;
    friend bool operator==(const KeyChord&, const KeyChord&) = default;
};

// A system tool started with a fixed argument list; no shell is involved.
struct ToolCommand
{
    QString program;
    QStringList arguments;
    friend bool operator==(const ToolCommand&, const ToolCommand&) = default;
};

// A desktop without the feature: nothing is pressed (a stray key could land in a document), and
// one console line says so.
struct Unavailable
{
    QString what;
    friend bool operator==(const Unavailable&, const Unavailable&) = default;
};

using SystemAction = std::variant<KeyChord, ToolCommand, Unavailable>;

// A GTK accelerator name as desktop settings store them ("<Super>d", "<Primary><Alt>Down"); empty
// for keys outside the letters, digits, F-keys and a few named ones.
std::optional<KeyChord> parseAccelerator(QStringView accelerator);

// Everything that differs between the desktops this server drives: which shortcut or tool
// stands for each named action, and where applications live. One table per desktop.
struct DesktopProfile
{
    SystemAction showDesktop;       // "DOCK", where the window manager cannot toggle it itself
    SystemAction launcher;          // "SPOTLIGHT"
    SystemAction overview;          // "MISSION_CONTROL"
    SystemAction workspaceLeft;     // "WORKSPACE_LEFT": the workspace beside this one
    SystemAction workspaceRight;    // "WORKSPACE_RIGHT"
    SystemAction reload;            // "REFRESH"
    ToolCommand screenSaver;        // "SCREENSAVER" and "DISPLAY_SLEEP"
    ToolCommand sleep;              // "SLEEP"
    ToolCommand userActivity;       // keeps the display awake for a moment after a wake
    QString opener;                 // opens documents and web addresses
    QStringList applicationFolders; // scanned at their top level only
    QString bundleExtension;        // an application's file extension in those folders

    // A Linux desktop, its shortcuts chosen by $XDG_CURRENT_DESKTOP; on GNOME, showing the
    // desktop takes the first of the keys its settings bind to it. Its tools are named, not
    // yet found: see resolveTools.
    static DesktopProfile forLinuxDesktop(QStringView currentDesktop, const QString& home,
                                          const QStringList& gnomeShowDesktopKeys = {});
    // The folders tools are taken from; never PATH, which may name the working folder.
    static QStringList systemToolFolders();
    // Replaces each tool's name by its absolute path in the first of `folders` that has it. A
    // tool found nowhere keeps its bare name, which the runner refuses to start.
    void resolveTools(const QStringList& folders);
};

} // namespace quillmote::actions
