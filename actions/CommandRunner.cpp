// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "actions/CommandRunner.h"

#include "util/Console.h"
#include "util/Log.h"

#include <QProcess>

namespace quillmote::actions {

void runCommand(const QString& path, const QStringList& arguments)
{
    // Tools were looked up in the system folders at start-up; a bare name was found in none,
    // and QProcess would search PATH for it.
    if (!path.startsWith(QLatin1Char('/'))) {
        reportFailedStart(path, QStringLiteral("not found in the system folders"));
        return;
    }
    // Detached children are started through an intermediate process, so they belong to init
    // and nothing here has to reap them.
    QProcess process;
    process.setProgram(path);
    process.setArguments(arguments);
    qCDebug(lcActions).noquote() << "running" << path << arguments;
    if (!process.startDetached())
        reportFailedStart(path, process.errorString());
}

void reportFailedStart(const QString& path, const QString& reason)
{
    console::line(QStringLiteral("Failed to run command ") + path + QStringLiteral(": ") + reason);
}

} // namespace quillmote::actions
