// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/CommandLine.h"
#include "app/HeadlessConsole.h"
#include "app/InputBackends.h"
#include "app/SignalWatcher.h"
#include "input/InputController.h"
#include "server/BonjourServer.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

using namespace quillmote;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillmote"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMOTE_VERSION));

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const CommandLineResult parsed = parseCommandLine(arguments);
    if (!parsed.commandLine) {
        std::fprintf(stderr, "quillmote: %s\n\n%s", qPrintable(parsed.error), qPrintable(usageText()));
        return 2;
    }
    const CommandLine& line = *parsed.commandLine;
    if (line.action == CommandLine::Action::Help) {
        std::fputs(qPrintable(usageText()), stdout);
        return 0;
    }
    if (line.action == CommandLine::Action::Version) {
        std::printf("quillmote %s\n", QUILLMOTE_VERSION);
        return 0;
    }

    // A closed standard output (say, piped into a reader that has exited) must not end the
    // server; a failed write of a console line is simply lost.
    std::signal(SIGPIPE, SIG_IGN);

    // A backend asked for by name that cannot be opened is an error, not a silent fallback.
    const QString requested = requestedBackend(line.input);
    if (!requested.isEmpty() && input::InputController::shared().sink().name() != requested)
        return 2;

    // Until the desktop interface exists every run is headless.

    SignalWatcher signals;
    QObject::connect(&signals, &SignalWatcher::terminationRequested, &app, &QCoreApplication::quit);
    BonjourServer& server = BonjourServer::shared();
    HeadlessConsole console(server);
    server.start();
    return QCoreApplication::exec();
}
