// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quillmote {

// How input events are posted (--input).
struct InputChoice
{
    enum class Backend { Auto, X11, Portal, Uinput, None, Record };
    Backend backend = Backend::Auto;
    QString recordPath; // for Record
    bool operator==(const InputChoice&) const = default;
};

struct CommandLine
{
    enum class Action { Run, Help, Version, Answer, NewLink };
    Action action = Action::Run;
    // Answer: the running server's question about a new device, by its number (--allow, --deny).
    int request = 0;
    bool allow = false;
    bool headless = false;
    // Started at login: the tray icon only, no window (unless there is no tray).
    bool minimized = false;
    // The port asked for on the command line; 0 lets the system choose.
    std::optional<quint16> port;
    // The browser remote's port asked for (0: system-chosen), or off for this run.
    std::optional<quint16> webPort = std::nullopt;
    bool webRemoteOff = false;
    // Every trace category on, on standard error.
    bool verbose = false;
    // Headless: the browser remote's link with its secret, and its QR code, on standard output
    // (which a user unit's journal keeps), rather than its address alone.
    bool showLink = false;
    InputChoice input;
};

struct CommandLineResult
{
    std::optional<CommandLine> commandLine;
    QString error;
};

// Parses the arguments (without the program name).
CommandLineResult parseCommandLine(const QStringList& arguments);
QString usageText();

} // namespace quillmote
