// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
//
// Saves pictures of the onboarding, the dashboard (waiting and connected, with the browser
// remote's QR code) and the panel, in
// the language of the environment, for the README. Usage: quillmote_screenshots DIR PREFIX
#include "app/Translations.h"
#include "app/ui/DashboardView.h"
#include "app/ui/MainView.h"
#include "app/ui/MainWindowController.h"
#include "app/ui/OnboardingView.h"
#include "app/ui/TrayApplication.h"
#include "input/InputAccess.h"
#include "support/LoopbackClient.h"
#include "support/ServerFixture.h"
#include "web/WebRemote.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <cstdio>

using namespace quillmote;

namespace {
bool save(QWidget& widget, const QString& path)
{
    widget.show();
    test::spinEventLoop(300);
    const bool saved = widget.window()->grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillmote"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMOTE_VERSION));
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DIR PREFIX\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(dir);
    installTranslation(app, prefersChinese());

    using Access = input::InputAccess::State;
    input::InputAccess access(Access::Granted);
    test::ServerFixture fixture;
    web::WebRemote webRemote({*fixture.server,
                              fixture.gate,
                              *fixture.dispatcher,
                              fixture.settings,
                              fixture.addresses,
                              {0, false}});
    QObject::connect(fixture.server.get(), &RemoteServer::listening, &webRemote,
                     [&webRemote] { webRemote.start(); });
    const ui::ViewContext context{*fixture.server,   fixture.gate,     *fixture.status,    access,
                                  fixture.addresses, fixture.settings, [](const QUrl&) {}, [] {},
                                  &webRemote,        &fixture.approval};
    bool ok = true;

    ui::TrayApplication trayApplication(context);
    trayApplication.launch();
    ui::MainWindow* window = trayApplication.mainWindow().window();
    ui::OnboardingView* onboarding = window->mainView()->permissionView();
    onboarding->tick(); // starts the server
    Q_EMIT fixture.lastAdvertiser->established(QStringLiteral("Test Host"));
    onboarding->tick();
    ok &= save(*window, dir + QLatin1Char('/') + prefix + QStringLiteral("-onboarding.png"));
    // A Wayland desktop's own dialog is open.
    access.setState(Access::Awaiting);
    ok &= save(*window, dir + QLatin1Char('/') + prefix + QStringLiteral("-onboarding-wayland.png"));
    access.setState(Access::Granted);

    window->mainView()->completeOnboarding();
    ok &= save(*window, dir + QLatin1Char('/') + prefix + QStringLiteral("-dashboard-waiting.png"));

    test::LoopbackClient client(fixture.port());
    client.exchange(fixture.pairCommand());
    test::spinEventLoop(100);
    ok &= save(*window, dir + QLatin1Char('/') + prefix + QStringLiteral("-dashboard-connected.png"));

    // Wrong codes arriving: the panel says how many and offers a new code.
    for (int i = 0; i < 12; ++i)
        fixture.gate.notePairingFailure();
    ui::Panel& panel = trayApplication.panel();
    panel.popUp(QRect(QPoint(200, 0), QSize(24, 24)));
    ok &= save(panel, dir + QLatin1Char('/') + prefix + QStringLiteral("-panel.png"));
    return ok ? 0 : 1;
}
