// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/CommandLine.h"
#include "app/GraphicalSession.h"
#include "app/HeadlessConsole.h"
#include "app/Services.h"
#include "app/SignalWatcher.h"
#include "app/SingleInstance.h"
#include "app/Translations.h"
#include "app/ui/Symbols.h"
#include "app/ui/TrayApplication.h"
#include "server/DeviceApproval.h"
#include "server/RemoteServer.h"
#include "util/Console.h"
#include "util/Log.h"
#include "web/WebRemote.h"

#include <QApplication>
#include <QDesktopServices>

#include <csignal>
#include <cstdio>

using namespace quillmote;

namespace {
void describeApplication(QCoreApplication& app)
{
    QCoreApplication::setApplicationName(QStringLiteral("Quillmote"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMOTE_VERSION));
    installTranslation(app, prefersChinese());
}

void printError(const QString& error)
{
    std::fprintf(stderr, "quillmote: %s\n", qPrintable(error));
}

// A backend asked for by name that cannot be opened is an error, not a silent fallback; one
// whose answer comes later ends the program then, with the same status.
std::unique_ptr<Services> createServices(const CommandLine& line)
{
    QString error;
    std::unique_ptr<Services> services =
        Services::create(line, Settings(Settings::userFilePath()), &error, [](const QString& reason) {
            printError(reason);
            // Queued: the answer may come before the event loop runs.
            const auto exitWithError = [] { QCoreApplication::exit(2); };
            QMetaObject::invokeMethod(qApp, exitWithError, Qt::QueuedConnection);
        });
    if (!services)
        printError(error);
    return services;
}

// "allow N" and "deny N" from `quillmote --allow N` answer the server's question about a new device;
// "new-link" draws a new browser remote link.
void answerRequests(SingleInstance& instance, DeviceApproval& approval, web::WebRemote& webRemote)
{
    instance.setHandler([&approval, &webRemote](QByteArrayView request) -> QByteArray {
        if (request == "new-link") {
            webRemote.newLink();
            return "new link drawn";
        }
        const QList<QByteArray> words = request.toByteArray().split(' ');
        bool ok = false;
        const int number = words.size() == 2 ? words[1].toInt(&ok) : 0;
        if (!ok || (words[0] != "allow" && words[0] != "deny"))
            return {};
        const bool allow = words[0] == "allow";
        if (!approval.answer(number, allow))
            return "no such request: it was answered, or waited too long";
        return allow ? "allowed" : "refused";
    });
}

int answerRequest(int argc, char* argv[], const CommandLine& line)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance;
    const std::optional<QByteArray> reply = instance.request(
        line.action == CommandLine::Action::NewLink
            ? QByteArray("new-link")
            : QByteArray(line.allow ? "allow " : "deny ") + QByteArray::number(line.request));
    if (!reply) {
        printError(QStringLiteral("no Quillmote of this user is running here"));
        return 1;
    }
    std::printf("%s\n", reply->constData());
    return *reply == "allowed" || *reply == "refused" || *reply == "new link drawn" ? 0 : 1;
}

int runHeadless(int argc, char* argv[], const CommandLine& line)
{
    QCoreApplication app(argc, argv);
    describeApplication(app);
    const std::unique_ptr<Services> services = createServices(line);
    if (!services)
        return 2;
    SingleInstance instance;
    if (!instance.listen())
        console::line(
            QStringLiteral("Could not claim the single-instance socket; --allow cannot reach this server."));
    answerRequests(instance, services->approval(), services->webRemote());

    SignalWatcher signals;
    QObject::connect(&signals, &SignalWatcher::terminationRequested, &app, &QCoreApplication::quit);
    HeadlessConsole console(services->server(), services->gate(), services->status(), &services->webRemote(),
                            line.showLink, &services->approval(), &services->addresses());
    services->server().start();
    return QCoreApplication::exec();
}

int runDesktop(int argc, char* argv[], const CommandLine& line)
{
    QApplication app(argc, argv);
    describeApplication(app);
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmote"));
    // The server lives on in the tray when the window is closed.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ui::applicationIcon());

    SingleInstance instance;
    if (instance.notifyRunning()) {
        console::line(QStringLiteral("Quillmote is already running; its window was brought back."));
        return 0;
    }
    if (!instance.listen())
        console::line(QStringLiteral(
            "Could not claim the single-instance socket; a second launch will start another server."));

    const std::unique_ptr<Services> services = createServices(line);
    if (!services)
        return 2;

    // Not quit(): that first asks every window to close, and ours refuses (it hides instead), so
    // whether the application ended would depend on the order Qt visits a tray icon's window
    // and ours.
    const auto quit = [] { QCoreApplication::exit(0); };
    SignalWatcher signals;
    QObject::connect(&signals, &SignalWatcher::terminationRequested, &app, quit);
    ui::TrayApplication trayApplication({
        .server = services->server(),
        .gate = services->gate(),
        .status = services->status(),
        .access = services->access(),
        .addresses = services->addresses(),
        .settings = services->settings(),
        .openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); },
        .quit = quit,
        .webRemote = &services->webRemote(),
        .approval = &services->approval(),
    });
    answerRequests(instance, services->approval(), services->webRemote());
    services->notifyAboutDevices();
    QObject::connect(&instance, &SingleInstance::activationRequested, &trayApplication,
                     [&trayApplication] { trayApplication.mainWindow().reopen(); });
    trayApplication.launch(line.minimized);
    return QApplication::exec();
}
} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
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
    if (line.action == CommandLine::Action::Answer || line.action == CommandLine::Action::NewLink)
        return answerRequest(argc, argv, line);

    // A closed standard output (say, piped into a reader that has exited) must not end the
    // server; a failed write of a console line is simply lost.
    std::signal(SIGPIPE, SIG_IGN);
    if (line.verbose)
        enableVerboseLogging();

    const Settings settings(Settings::userFilePath());
    switch (settings.makePrivate()) {
    case Settings::Privacy::Narrowed:
        console::line(QStringLiteral("The settings (with the pairing code) were readable by other users; "
                                     "%1 is now 0600 and its folder 0700.")
                          .arg(settings.path()));
        break;
    case Settings::Privacy::Failed:
        console::line(QStringLiteral("The settings (with the pairing code) are readable by other users and "
                                     "%1 could not be made private.")
                          .arg(settings.path()));
        break;
    case Settings::Privacy::Private:
    case Settings::Privacy::Foreign: // said where the code is read
        break;
    }

    if (line.headless)
        return runHeadless(argc, argv, line);
    if (!graphicalSessionAvailable()) {
        console::line(
            QStringLiteral("No graphical session (DISPLAY and WAYLAND_DISPLAY unusable); running headless."));
        return runHeadless(argc, argv, line);
    }
    return runDesktop(argc, argv, line);
}
