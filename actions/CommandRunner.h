// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace quillmote::actions {

// Starts a program with its arguments as they are (no shell) and returns once it has started
// or failed to; the child is never waited for and never left behind as a zombie. A failed
// start prints "Failed to run command PATH: REASON". A path that is not absolute is refused, as
// PATH may name the working folder: tools are found in the system folders beforehand.
void runCommand(const QString& path, const QStringList& arguments);

// The one console line for a program or application that could not be started.
void reportFailedStart(const QString& path, const QString& reason);

using CommandRunner = std::function<void(const QString& path, const QStringList& arguments)>;

} // namespace quillmote::actions
