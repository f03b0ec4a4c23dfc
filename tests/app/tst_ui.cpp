// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "app/Translations.h"
#include "app/ui/DashboardView.h"
#include "app/ui/DeviceRequestNotice.h"
#include "app/ui/DevicesDialog.h"
#include "app/ui/LoginStart.h"
#include "app/ui/MainView.h"
#include "app/ui/OnboardingView.h"
#include "app/ui/PairingAttemptsNotice.h"
#include "app/ui/PermissionRow.h"
#include "app/ui/ServiceNotice.h"
#include "app/ui/Symbols.h"
#include "app/ui/TrayPanelView.h"
#include "app/ui/WebRemoteCard.h"
#include "input/InputAccess.h"
#include "support/LoopbackClient.h"
#include "support/ServerFixture.h"
#include "web/WebRemote.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <array>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmote;
using namespace quillmote::ui;
using namespace quillmote::test;
using Status = PermissionRow::Status;
using Access = input::InputAccess::State;

Q_DECLARE_METATYPE(std::optional<quillmote::CommandLine>)

namespace {
// A fresh server and settings file, input access that the test grants or takes away, and the
// URLs, quit requests and questions to the desktop that the views make, recorded.
struct Desktop
{
    Desktop()
    {
        access.setRequester([this] { ++accessRequests; });
    }
    ViewContext context()
    {
        return {*fixture.server,
                fixture.gate,
                *fixture.status,
                access,
                fixture.addresses,
                fixture.settings,
                [this](const QUrl& url) { openedUrls << url; },
                [this] { ++quitRequests; },
                nullptr,
                &fixture.approval};
    }
    void establish() { Q_EMIT fixture.lastAdvertiser->established(QStringLiteral("Test Host")); }
    const Listener* listener() const { return fixture.server->listener(); }

    input::InputAccess access{Access::Granted};
    ServerFixture fixture;
    QList<QUrl> openedUrls;
    int quitRequests = 0;
    int accessRequests = 0;
};

// The dashboard and the tray's panel, shown; the panel starts the server.
struct Views
{
    explicit Views(Access access = Access::Granted)
    {
        d.access.setState(access);
        dashboard.show();
        panel.show();
    }
    Desktop d;
    DashboardView dashboard{d.context()};
    TrayPanelView panel{d.context(), {}, {}};
};
} // namespace

class UiTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void onboarding_startNeedsAccessAndListener_completingItShowsTheDashboard()
    {
        Desktop d;
        d.access.setState(Access::Unavailable);
        MainView main(d.context());
        main.show();
        QPointer<OnboardingView> view = main.permissionView();
        QVERIFY(view && !main.dashboardView() && !view->startButton()->isEnabled());
        // The first tick, a second after showing, starts the server; a failed listener is
        // replaced by a tap on the row, which spins until the new one is ready.
        QTRY_VERIFY_WITH_TIMEOUT(d.listener(), 1500);
        Q_EMIT d.fixture.lastAdvertiser->failed(QStringLiteral("no way"));
        QTRY_COMPARE_WITH_TIMEOUT(d.listener()->state(), ListenerState::Failed, 1000);
        view->networkRow()->button()->click();
        QCOMPARE(d.listener()->state(), ListenerState::Setup);
        // No avahi-daemon for the new one either: the row spins for the whole check, then says so.
        Q_EMIT d.fixture.lastAdvertiser->unreachable(QStringLiteral("no bus"));
        QCOMPARE(view->networkRow()->status(), Status::Loading);
        QTRY_COMPARE_WITH_TIMEOUT(view->networkRow()->status(), Status::Button, 3000);
        QVERIFY(view->networkRow()->description().contains(QLatin1String("avahi-daemon")));
        d.establish();
        QTRY_COMPARE_WITH_TIMEOUT(view->networkRow()->status(), Status::Granted, 2500);
        view->startButton()->click();
        QVERIFY(!main.dashboardView());      // input access is still missing
        d.access.setState(Access::Awaiting); // the desktop's dialog is open
        QCOMPARE(view->accessibilityRow()->status(), Status::Loading);
        d.access.setState(Access::Granted);
        QVERIFY(view->startButton()->isEnabled());
        view->startButton()->click();
        QVERIFY(main.dashboardView() && main.dashboardView()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!view, 1000);
        QVERIFY(MainView::readCompletedOnboarding(d.fixture.settings));
    }

    void dashboardAndPanel_accessLine_opensHelp_asksAgain_andFollowsTheGrant()
    {
        Views v(Access::Unavailable);
        QVERIFY(v.d.listener()); // the panel started the server
        QVERIFY(v.dashboard.warningButton()->isVisible() && v.panel.permissionButton()->isVisible());
        v.dashboard.warningButton()->click(); // still refused: the help page opens
        QCOMPARE(v.d.openedUrls.size(), 1);
        // A desktop that refused is asked again instead; while it asks, the line waits.
        v.d.access.setState(Access::Refused);
        QCOMPARE(v.dashboard.warningButton()->text(), QStringLiteral("桌面未允许远程输入，点此重新请求"));
        v.dashboard.warningButton()->click();
        QCOMPARE(v.d.accessRequests, 1);
        QCOMPARE(v.d.openedUrls.size(), 1);
        v.d.access.setState(Access::Awaiting);
        QVERIFY(!v.dashboard.warningButton()->isEnabled());
        v.d.access.setState(Access::Granted);
        QVERIFY(v.dashboard.warningButton()->isHidden() &&
                v.panel.grantedLine()->isVisible()); // told, not polled
        v.panel.permissionButton()->click();         // granted now: the line says so, nothing opens
        QVERIFY(v.panel.grantedLine()->isVisible());
        QCOMPARE(v.d.openedUrls.size(), 1);
    }

    void dashboard_withoutAvahiDaemon_waitsUnadvertised_andSaysWhatToRun()
    {
        Views v;
        Q_EMIT v.d.fixture.lastAdvertiser->unreachable(QStringLiteral("avahi-daemon is not reachable"));
        QTRY_COMPARE_WITH_TIMEOUT(v.dashboard.statusText(), QStringLiteral("等待连接（未广播）"), 1000);
        QVERIFY(v.dashboard.serviceNotice()->text().contains(
            QLatin1String("systemctl enable --now avahi-daemon")));
        v.d.establish();
        QTRY_COMPARE_WITH_TIMEOUT(v.dashboard.statusText(), QStringLiteral("等待连接..."), 1000);
        QVERIFY(!v.dashboard.serviceNotice()->isVisible());
    }

    void dashboardAndPanel_showAPairedPhoneUntilItLeaves()
    {
        Views v;
        v.d.establish();
        {
            LoopbackClient client(v.d.fixture.port());
            QVERIFY(client.exchange(v.d.fixture.pairCommand()).startsWith("PAIR_SUCCESS"));
            QTRY_COMPARE_WITH_TIMEOUT(v.panel.statusLabel()->text(), QStringLiteral("设备已连接 (1)"), 1000);
            QCOMPARE(v.panel.statusSymbol()->symbol(), Symbol::CircleFilled);
            QCOMPARE(v.dashboard.statusText(), QStringLiteral("设备已连接"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(v.panel.statusLabel()->text(), QStringLiteral("等待连接..."), 2000);
        QCOMPARE(v.panel.statusSymbol()->symbol(), Symbol::Circle);
    }

    void dashboardAndPanel_failedAttempts_drawANewCode_thatIsStored()
    {
        Views v;
        QVERIFY(!v.dashboard.attemptsNotice()->isVisible() && !v.panel.attemptsNotice()->isVisible());
        for (int i = 0; i < 12; ++i)
            v.d.fixture.gate.notePairingFailure();
        QVERIFY(v.dashboard.attemptsNotice()->isVisible());
        QVERIFY(v.panel.attemptsNotice()->textLabel()->text().contains(QLatin1String("12")));
        const QString old = v.d.fixture.gate.pairingCode();
        QTest::mouseClick(v.panel.attemptsNotice()->newCodeButton(), Qt::LeftButton);
        QVERIFY(v.d.fixture.gate.pairingCode() != old);
        QCOMPARE(v.dashboard.codeLabel()->text(), v.d.fixture.gate.pairingCode());
        QCOMPARE(v.panel.codeLabel()->text(), v.d.fixture.gate.pairingCode());
        QCOMPARE(v.d.fixture.settings.text(Settings::Key::SavedPairingCode),
                 v.d.fixture.gate.pairingCode()); // stored like the first one
    }

    void dashboardAndPanel_newDeviceAllowedOrDenied_thenListedAndRemoved()
    {
        Views v;
        v.d.fixture.devices.setAsksAboutNewDevices(true);
        DeviceRequestNotice* notice = v.dashboard.deviceRequestNotice();
        QVERIFY(!notice->isVisible());
        QList<bool> answers;
        const auto ask = [&](const char* address) {
            const Peer peer{nextConnectionIdentity(), QHostAddress(QLatin1String(address)),
                            QStringLiteral("Firefox on Android")};
            return v.d.fixture.approval.admit(peer, [&answers](bool allowed) { answers << allowed; });
        };
        QCOMPARE(ask("192.0.2.5"), DeviceApproval::Verdict::Waiting);
        QCOMPARE(ask("192.0.2.6"), DeviceApproval::Verdict::Waiting);
        QVERIFY(notice->isVisible() &&
                notice->textLabel()->text().contains(QLatin1String("Firefox on Android (192.0.2.5)")));
        QTest::mouseClick(notice->allowButton(), Qt::LeftButton);
        QVERIFY(notice->textLabel()->text().contains(QLatin1String("192.0.2.6"))); // the next question
        QTest::mouseClick(notice->denyButton(), Qt::LeftButton);
        QCOMPARE(answers, (QList<bool>{true, false}));
        QVERIFY(!notice->isVisible());

        QTest::mouseClick(v.dashboard.devicesButton(), Qt::LeftButton);
        auto* dialog = v.dashboard.findChild<DevicesDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->rows().size(), 1); // the allowed one
        QVERIFY(dialog->rows()[0]->findChild<QLabel*>()->text().contains(QLatin1String("192.0.2.5")));
        QTest::mouseClick(dialog->rows()[0]->findChild<QPushButton*>(), Qt::LeftButton);
        QTRY_VERIFY(v.d.fixture.devices.devices().isEmpty() && dialog->rows().isEmpty());
        QCOMPARE(ask("192.0.2.5"), DeviceApproval::Verdict::Waiting); // removed: asked about again
        dialog->askSwitch()->click();
        QVERIFY(!v.d.fixture.settings.flag(Settings::Key::AskBeforeNewDevice, true));
        QCOMPARE(ask("192.0.2.7"), DeviceApproval::Verdict::Allowed);
    }

    void serviceNotice_namesThePortPhonesMustUse_anImpostor_andAnOpenWifi()
    {
        const int squatter = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const auto close = qScopeGuard([squatter] { ::close(squatter); });
        sockaddr_in6 usual{};
        usual.sin6_family = AF_INET6;
        usual.sin6_port = htons(PortChoice::defaultPort);
        if (::bind(squatter, reinterpret_cast<sockaddr*>(&usual), sizeof usual) != 0 ||
            ::listen(squatter, 1) != 0)
            QSKIP("the usual port is taken by something else already");
        ServerFixture f(&std::chrono::steady_clock::now, nullptr, PortChoice::preferred());
        f.server->start();
        ServiceNotice notice(*f.server, &f.addresses);
        QVERIFY(notice.text().contains(QString::number(PortChoice::defaultPort)) &&
                notice.text().contains(QString::number(f.port())));
        Q_EMIT f.lastAdvertiser->established(QStringLiteral("Test Host #2"));
        Q_EMIT f.lastAdvertiser->impostorSeen(QStringLiteral("Test Host"), QStringLiteral("192.0.2.9:4444"));
        QVERIFY(notice.text().contains(QLatin1String("192.0.2.9:4444")) &&
                notice.text().contains(QLatin1String("Test Host #2")));
        Q_EMIT f.lastAdvertiser->impostorGone(QStringLiteral("Test Host"));
        QVERIFY(!notice.text().contains(QLatin1String("192.0.2.9")));
        f.addresses.setOpenWifi(QStringLiteral("Café Libre"));
        QVERIFY(notice.text().contains(QStringLiteral("Wi-Fi“Café Libre”")));
        f.addresses.setOpenWifi({});
        QVERIFY(!notice.text().contains(QLatin1String("Wi-Fi")));
    }

    void loginStart_switchWritesAValidEntryAndRemovesIt()
    {
        QTemporaryDir config;
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME"), oldPath = qgetenv("PATH");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        qputenv("PATH", config.path().toUtf8()); // nothing installed until the test puts it there
        const auto restore =
            qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", oldConfig), qputenv("PATH", oldPath); });
        Desktop d;
        DashboardView dashboard(d.context());
        QVERIFY(!dashboard.loginStartSwitch()->isChecked());
        dashboard.loginStartSwitch()->click();
        QFile entry(config.filePath(QStringLiteral("autostart/quillmote.desktop")));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().contains("\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() +
                                         "\" --minimized\n"));
        // This test runs from a build folder and nothing else is installed: the dashboard says so.
        QVERIFY(dashboard.loginStartNote()->isVisibleTo(&dashboard) &&
                dashboard.loginStartNote()->text().contains(QCoreApplication::applicationFilePath()));
        QCOMPARE(QString::fromUtf8(LoginStart::entry(QStringLiteral("/opt/my \"apps\"/$q")))
                     .section(QLatin1Char('\n'), 4, 4),
                 QStringLiteral("Exec=\"/opt/my \\\"apps\\\"/\\$q\" --minimized"));
        dashboard.loginStartSwitch()->click();
        QVERIFY(!entry.exists());
        QVERIFY(!DashboardView(d.context()).loginStartSwitch()->isChecked());
        // An installed program on PATH is the one started at login.
        QFile installed(config.filePath(QStringLiteral("quillmote")));
        QVERIFY(installed.open(QIODevice::WriteOnly) &&
                installed.setPermissions(QFile::ExeOwner | QFile::ReadOwner));
        dashboard.loginStartSwitch()->click();
        QCOMPARE(LoginStart::entryProgram(), installed.fileName());
        QVERIFY(dashboard.loginStartNote()->isHidden());
    }

    void singleInstance_secondLaunchShowsTheFirst_answersRequests_inAPrivateFolder()
    {
        QTemporaryDir tmp;
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray cache = qgetenv("XDG_CACHE_HOME");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_CACHE_HOME", tmp.path().toUtf8());
        const auto restore = qScopeGuard([&] {
            qputenv("XDG_RUNTIME_DIR", runtime);
            qputenv("XDG_CACHE_HOME", cache);
        });
        const QString folder = tmp.filePath(QStringLiteral("quillmote"));
        {
            SingleInstance first;
            QVERIFY(!first.notifyRunning(200));
            QVERIFY(first.listen());
            struct stat st = {};
            QCOMPARE(stat(QFile::encodeName(folder).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0700u);
            QSignalSpy shown(&first, &SingleInstance::activationRequested);
            first.setHandler([](QByteArrayView request) {
                return request == "allow 3" ? QByteArray("allowed") : QByteArray();
            });
            SingleInstance second;
            QVERIFY(second.notifyRunning());
            QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 2000);
            QVERIFY(!second.listen());
            // What --allow sends, answered on the event loop; the blocking client is the program's.
            QLocalSocket client;
            client.connectToServer(first.name());
            QVERIFY(client.waitForConnected(1000));
            client.write("allow 3\n");
            QTRY_VERIFY_WITH_TIMEOUT(client.canReadLine(), 2000);
            QCOMPARE(client.readLine(), QByteArray("allowed\n"));
        }
        if (getuid() != 0) {
            if (qgetenv("CI") == "true")
                QFAIL("needs root to plant another user's folder");
            QSKIP("needs root to plant another user's folder");
        }
        // Another user's folder in the fallback place is neither obeyed nor used; each launch
        // then runs on its own rather than talk to a stranger.
        QVERIFY(QDir(folder).removeRecursively() && QDir().mkpath(folder));
        QCOMPARE(chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
        SingleInstance first;
        QVERIFY(first.name().isEmpty() && !first.listen() && !first.notifyRunning(200));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<std::optional<CommandLine>>("parsed");
        using Backend = InputChoice::Backend;
        const auto row = [](const char* name, QStringList arguments, std::optional<InputChoice> input,
                            std::optional<quint16> port = {}, std::optional<quint16> webPort = {}) {
            std::optional<CommandLine> parsed;
            if (input)
                parsed = CommandLine{.headless = arguments.contains(QLatin1String("--headless")),
                                     .port = port,
                                     .webPort = webPort,
                                     .webRemoteOff = arguments.contains(QLatin1String("off")),
                                     .verbose = arguments.contains(QLatin1String("--verbose")),
                                     .input = *input};
            QTest::newRow(name) << arguments << parsed;
        };
        const auto args = [](std::initializer_list<const char*> words) {
            QStringList list;
            for (const char* word : words)
                list << QString::fromLatin1(word);
            return list;
        };
        row("nothing", {}, InputChoice{});
        row("record file", args({"--input", "record:/tmp/a:b"}),
            InputChoice{Backend::Record, QStringLiteral("/tmp/a:b")});
        row("equals forms", args({"--input=uinput", "--port=0", "--headless", "--verbose"}),
            InputChoice{Backend::Uinput, {}}, 0);
        row("port 65535", args({"--port", "65535"}), InputChoice{}, 65535);
        row("web port", args({"--web-port=0"}), InputChoice{}, {}, 0);
        row("web remote off", args({"--web-port", "off"}), InputChoice{});
        for (const auto& bad :
             {args({"--input", "record:"}), args({"--input", "wayland"}), args({"--input"}),
              args({"--port", "65536"}), args({"--port", "-1"}), args({"--port"}), args({"--frobnicate"}),
              args({"--web-port", "65536"}), args({"--web-port", "on"}), args({"--web-port"})})
            row(qPrintable(bad.join(u' ')), bad, std::nullopt);
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(std::optional<CommandLine>, parsed);
        const CommandLineResult result = parseCommandLine(arguments);
        QCOMPARE(result.commandLine.has_value(), parsed.has_value());
        QCOMPARE(result.error.isEmpty(), parsed.has_value());
        if (parsed) {
            QVERIFY(result.commandLine->input == parsed->input);
            QCOMPARE(result.commandLine->port, parsed->port);
            QCOMPARE(result.commandLine->headless, parsed->headless);
            QCOMPARE(result.commandLine->webPort, parsed->webPort);
            QCOMPARE(result.commandLine->webRemoteOff, parsed->webRemoteOff);
            QCOMPARE(result.commandLine->verbose, parsed->verbose);
        }
    }

    void webRemoteCard_showsTheLink_drawsANewOne_andTurnsTheRemoteOff()
    {
        Desktop d;
        ViewContext context = d.context();
        web::WebRemote remote({*d.fixture.server,
                               d.fixture.gate,
                               *d.fixture.dispatcher,
                               d.fixture.settings,
                               d.fixture.addresses,
                               {0, false}});
        d.fixture.server->start();
        remote.start();
        context.webRemote = &remote;
        DashboardView dashboard(context);
        WebRemoteCard* card = dashboard.webRemoteCard();
        const auto shows = [&](bool on) {
            const Settings& settings = d.fixture.settings;
            const QString link = QStringLiteral(":%1/#k=").arg(remote.port()) +
                                 settings.text(Settings::Key::WebRemoteSecret).value_or(QString());
            return settings.flag(Settings::Key::WebRemote, true) == on && remote.isListening() == on &&
                   card->enabledSwitch()->isChecked() == on && card->qrLabel()->pixmap().isNull() != on &&
                   (on ? card->linkField()->toPlainText().endsWith(link)
                       : card->linkField()->toPlainText().isEmpty());
        };
        const QString first = card->linkField()->toPlainText();
        QVERIFY(shows(true));
        card->newLinkButton()->click();
        QVERIFY(shows(true) && card->linkField()->toPlainText() != first);
        card->enabledSwitch()->click();
        QVERIFY(shows(false));
    }
    void translations_chineseForChineseReaders_englishForEveryoneElse()
    {
        const char* const variables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
        QList<QByteArray> saved;
        for (const char* variable : variables)
            saved << qgetenv(variable);
        const auto restore = qScopeGuard([&] {
            for (int i = 0; i < 4; ++i)
                qputenv(variables[i], saved[i]);
        });
        const std::pair<std::array<const char*, 4>, bool> cases[] = {
            {{"", "", "", "zh_CN.UTF-8"}, true},      {{"", "", "", "C.UTF-8"}, false},
            {{"", "", "", "de_DE.UTF-8"}, false},     {{"zh_TW:en", "", "", "en_US.UTF-8"}, true},
            {{"en", "", "", "zh_CN.UTF-8"}, false},   {{"", "zh_SG.UTF-8", "", "en_US.UTF-8"}, true},
            {{"", "", "zh_HK.UTF-8", "en_US"}, true}, {{"", "C", "zh_CN.UTF-8", ""}, false},
        };
        for (const auto& [values, chinese] : cases) {
            for (int i = 0; i < 4; ++i)
                qputenv(variables[i], values[i]);
            QVERIFY2(prefersChinese() == chinese, values[3]);
        }

        const auto status = [] {
            return QCoreApplication::translate("quillmote::ServerStatus", "等待连接...",
                                               "Waiting for Connection");
        };
        QVERIFY(!installTranslation(*qApp, true));
        QCOMPARE(status(), QStringLiteral("等待连接..."));
        Desktop d;
        DashboardView chinese(d.context());
        QCOMPARE(chinese.statusText(), QStringLiteral("服务未启动"));

        QVERIFY(installTranslation(*qApp, false));
        QCOMPARE(status(), QStringLiteral("Waiting for a connection..."));
        DashboardView english(d.context());
        QCOMPARE(english.statusText(), QStringLiteral("Service not running"));
        english.show(); // without a tray, as on GNOME: the window comes back by launching again
        QVERIFY(english.closeHint()->text().contains(QLatin1String("launch it again")));
        english.homePageButton()->click(); // what it does, not an update
        QCOMPARE(d.openedUrls, QList<QUrl>{QUrl(QString::fromLatin1(homePage))});
        OnboardingView onboarding(d.context(), {});
        QCOMPARE(onboarding.startButton()->text(), QStringLiteral("Get Started"));
        PairingAttemptsNotice notice(d.fixture.gate);
        QCOMPARE(notice.newCodeButton()->text(), QStringLiteral("Draw a new code"));
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMOTE_VERSION));
    UiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ui.moc"
