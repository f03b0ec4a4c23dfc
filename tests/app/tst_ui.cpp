// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/Translations.h"
#include "app/ui/AppDelegate.h"
#include "app/ui/ContentView.h"
#include "app/ui/DashboardView.h"
#include "app/ui/LoginStart.h"
#include "app/ui/MainView.h"
#include "app/ui/OnboardingView.h"
#include "app/ui/PairingAttemptsNotice.h"
#include "app/ui/PermissionRow.h"
#include "app/ui/SingleInstance.h"
#include "app/ui/Symbols.h"
#include "app/ui/TrayApplication.h"
#include "input/InputController.h"
#include "server/Listener.h"
#include "server/RemoteServer.h"
#include "support/LoopbackClient.h"
#include "support/ServerFixture.h"
#include "support/TestSink.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocalServer>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillmote;
using namespace quillmote::ui;
using namespace quillmote::test;
using Status = PermissionRow::Status;

namespace {
// A fresh server and settings file, input that the test allows or refuses, and the URLs and
// quit requests the views make, recorded.
struct Desktop
{
    Desktop()
        : sink(new TestSink), input(std::unique_ptr<input::EventSink>(sink)),
          fixture(0, &std::chrono::steady_clock::now, &input)
    {
    }
    ViewContext context()
    {
        return {*fixture.server,
                *fixture.status,
                input,
                fixture.dir.filePath(QStringLiteral("Quillmote.conf")),
                [this](const QUrl& url) { openedUrls << url; },
                [this] { ++quitRequests; }};
    }
    void establish() { Q_EMIT fixture.lastAdvertiser->established(QStringLiteral("Test Host")); }
    const Listener* listener() const { return fixture.server->listener(); }
    bool listenerReady() const { return listener() && listener()->state() == ListenerState::Ready; }
    void writeOnboardingFlag(bool done)
    {
        QSettings settings(fixture.dir.filePath(QStringLiteral("Quillmote.conf")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("hasCompletedOnboarding"), done);
    }

    TestSink* sink;
    input::InputController input;
    ServerFixture fixture;
    QList<QUrl> openedUrls;
    int quitRequests = 0;
};
} // namespace

class UiTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void onboarding_rowsAndStartButton_followTheirStates()
    {
        Desktop d;
        d.sink->trusted = false;
        int completed = 0;
        OnboardingView view(d.context(), [&] { ++completed; });
        view.show();
        QCOMPARE(view.accessibilityRow()->status(), Status::Button);
        QCOMPARE(view.networkRow()->status(), Status::Button);
        QVERIFY(!view.startButton()->isEnabled());
        QVERIFY(view.isPolling());

        // Nothing is polled during the first second; the first tick starts the server.
        spinEventLoop(600);
        QVERIFY(!d.listener());
        QTRY_VERIFY_WITH_TIMEOUT(d.listener(), 1500);
        const Listener* first = d.listener();
        QCOMPARE(first->state(), ListenerState::Setup);
        spinEventLoop(1100); // a listener being set up is left alone
        QCOMPARE(d.listener(), first);
        QCOMPARE(view.networkRow()->status(), Status::Button);

        // A tap shows progress until the listener is ready; the checkmark then wins.
        view.networkRow()->button()->click();
        QCOMPARE(view.networkRow()->status(), Status::Loading);
        d.establish();
        QTRY_COMPARE_WITH_TIMEOUT(view.networkRow()->status(), Status::Granted, 2500);
        QVERIFY(!view.isCheckingNetwork());
        QVERIFY(!view.startButton()->isEnabled());
        view.startButton()->click();
        QCOMPARE(completed, 0);

        d.sink->trusted = true;
        QTRY_VERIFY_WITH_TIMEOUT(view.startButton()->isEnabled(), 1500);
        QCOMPARE(view.accessibilityRow()->status(), Status::Granted);
        d.sink->trusted = false; // revoked while shown
        QTRY_VERIFY_WITH_TIMEOUT(!view.startButton()->isEnabled(), 1500);
        QCOMPARE(view.accessibilityRow()->status(), Status::Button);
        QCOMPARE(view.networkRow()->status(), Status::Granted); // never taken back

        view.accessibilityRow()->button()->click();
        QCOMPARE(d.openedUrls.size(), 1);
        QVERIFY(d.openedUrls.front().isValid());

        d.sink->trusted = true;
        QTRY_VERIFY_WITH_TIMEOUT(view.startButton()->isEnabled(), 1500);
        view.startButton()->click();
        QCOMPARE(completed, 1);

        view.hide();
        QVERIFY(!view.isPolling());
        view.show();
        QVERIFY(view.isPolling());
    }

    void onboarding_failedListener_replacedByTap()
    {
        Desktop d;
        OnboardingView view(d.context(), [] {});
        view.show();
        d.fixture.server->start();
        Q_EMIT d.fixture.lastAdvertiser->failed(QStringLiteral("no way"));
        QTRY_COMPARE_WITH_TIMEOUT(d.listener()->state(), ListenerState::Failed, 1000);
        const Listener* failed = d.listener();
        spinEventLoop(1100);
        QCOMPARE(view.networkRow()->status(), Status::Button);
        QCOMPARE(d.listener(), failed);
        view.networkRow()->button()->click();
        QCOMPARE(d.listener()->state(), ListenerState::Setup); // a new one
        QCOMPARE(view.networkRow()->status(), Status::Loading);
        // Ready before the delayed check: granted by that check at the latest.
        d.establish();
        QTRY_COMPARE_WITH_TIMEOUT(view.networkRow()->status(), Status::Granted, 2500);
    }

    void dashboard_permissionWarningAndButtons()
    {
        Desktop d;
        DashboardView view(d.context(), true);
        QVERIFY(view.warningButton()->isHidden());
        d.sink->trusted = false;
        view.show(); // refreshed when shown
        QVERIFY(view.warningButton()->isVisible());
        d.sink->trusted = true;
        QTRY_VERIFY_WITH_TIMEOUT(view.warningButton()->isHidden(), 2500); // the two-second refresh
        d.sink->trusted = false;
        QTRY_VERIFY_WITH_TIMEOUT(view.warningButton()->isVisible(), 2500);

        view.warningButton()->click(); // still refused: the help page opens
        QCOMPARE(d.openedUrls.size(), 1);
        QVERIFY(view.warningButton()->isVisible());
        d.sink->trusted = true;
        view.warningButton()->click(); // trusted now: hidden at once, nothing opened
        QVERIFY(view.warningButton()->isHidden());
        QCOMPARE(d.openedUrls.size(), 1);

        view.updateButton()->click();
        QCOMPARE(d.openedUrls.last(), QUrl(QString::fromLatin1(homePage)));
        QCOMPARE(d.openedUrls.last().scheme(), QStringLiteral("https"));
        view.quitButton()->click();
        QCOMPARE(d.quitRequests, 1);

        QCOMPARE(view.versionLabel()->text(), QStringLiteral("v") + QStringLiteral(QUILLMOTE_VERSION));
        QCoreApplication::setApplicationVersion(QString());
        DashboardView unversioned(d.context(), true);
        QCOMPARE(unversioned.versionLabel()->text(), QStringLiteral("v1.0.9"));
        ContentView panel(d.context(), {}, {});
        QVERIFY(panel.versionLabel()->isHidden());
        QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMOTE_VERSION));
    }

    void panel_startsServerOnlyWithoutListener_showsFullStatus()
    {
        Desktop d;
        QStringList calls;
        ContentView panel(
            d.context(), [&] { calls << QStringLiteral("show"); },
            [&] { calls << QStringLiteral("dismiss"); });
        QVERIFY(!d.listener());
        panel.show();
        QVERIFY(d.listener());
        QVERIFY(panel.grantedLine()->isVisible());
        QVERIFY(panel.permissionButton()->isHidden());
        Q_EMIT d.fixture.lastAdvertiser->failed(QStringLiteral("boom"));
        QTRY_COMPARE_WITH_TIMEOUT(panel.statusLabel()->text(), QStringLiteral("启动失败: boom"), 1000);
        const Listener* failed = d.listener();
        panel.hide();
        panel.show(); // a listener exists, in whatever state: left alone
        QCOMPARE(d.listener(), failed);
        QCOMPARE(d.listener()->state(), ListenerState::Failed);

        Desktop other;
        ContentView second(other.context(), {}, {});
        second.show();
        other.establish();
        LoopbackClient client(other.fixture.port());
        QVERIFY(client.exchange("PAIR:" + other.fixture.server->pairingCode().toUtf8())
                    .startsWith("PAIR_SUCCESS"));
        QTRY_COMPARE_WITH_TIMEOUT(second.statusLabel()->text(), QStringLiteral("设备已连接 (1)"), 1000);
        QCOMPARE(second.statusSymbol()->symbol(), Symbol::CircleFilled);
        QCOMPARE(second.codeLabel()->text(), other.fixture.server->pairingCode());

        d.sink->trusted = false;
        panel.hide();
        panel.show();
        QVERIFY(panel.permissionButton()->isVisible());
        panel.permissionButton()->click();
        QCOMPARE(d.openedUrls.size(), 1);
        d.sink->trusted = true;
        panel.permissionButton()->click();
        QVERIFY(panel.grantedLine()->isVisible());
        QCOMPARE(d.openedUrls.size(), 1);

        panel.showMainWindowButton()->click();
        QCOMPARE(calls, (QStringList{QStringLiteral("show"), QStringLiteral("dismiss")}));
        QCOMPARE(panel.quitButton()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        panel.quitButton()->animateClick();
        QTRY_COMPARE_WITH_TIMEOUT(d.quitRequests, 1, 1000);
    }

    void mainView_completingOnboarding_showsDashboardAndStoresFlag()
    {
        Desktop d;
        d.sink->trusted = true;
        MainView view(d.context());
        view.show();
        QVERIFY(view.permissionView());
        QVERIFY(!view.dashboardView());
        QPointer<OnboardingView> onboarding = view.permissionView();
        d.fixture.server->start();
        d.establish();
        QTRY_VERIFY_WITH_TIMEOUT(onboarding->startButton()->isEnabled(), 2500);
        onboarding->startButton()->click();
        QVERIFY(view.dashboardView());
        QVERIFY(view.dashboardView()->isVisible());
        QVERIFY(!onboarding || !onboarding->isPolling());
        QTRY_VERIFY_WITH_TIMEOUT(!onboarding, 1000);
        QVERIFY(MainView::readCompletedOnboarding(d.context().settingsPath));

        MainView later(d.context());
        QVERIFY(later.dashboardView());
        QVERIFY(!later.permissionView());
    }

    void delegate_launchHideOnCloseAndReopen_oneWindow()
    {
        Desktop first;
        AppDelegate delegate(first.context());
        delegate.applicationDidFinishLaunching();
        MainWindow* window = delegate.window();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Quillmote"));
        QVERIFY(window->mainView()->permissionView());
        QVERIFY(!first.listener()); // not started before onboarding

        QVERIFY(!window->close());
        QVERIFY(!window->isVisible());
        QCOMPARE(delegate.window(), window);
        delegate.applicationShouldHandleReopen();
        QCOMPARE(delegate.window(), window);
        QVERIFY(window->isVisible());
        delegate.applicationShouldHandleReopen();
        delegate.showMainWindow();
        QCOMPARE(delegate.window(), window);

        Desktop later;
        later.writeOnboardingFlag(true);
        AppDelegate again(later.context());
        again.applicationDidFinishLaunching();
        QVERIFY(later.listener()); // started at launch
        QVERIFY(again.window()->mainView()->dashboardView());
    }

    void tray_iconFollowsIsConnected()
    {
        Desktop d;
        d.writeOnboardingFlag(true);
        TrayApplication app(d.context());
        app.launch();
        QCOMPARE(app.trayIconName(), QString::fromLatin1(TrayApplication::disconnectedIconName));
        QVERIFY(!app.trayIcon().icon().isNull());
        d.establish();
        {
            LoopbackClient client(d.fixture.port());
            QVERIFY(client.exchange("PAIR:" + d.fixture.server->pairingCode().toUtf8())
                        .startsWith("PAIR_SUCCESS"));
            QTRY_COMPARE_WITH_TIMEOUT(app.trayIconName(),
                                      QString::fromLatin1(TrayApplication::connectedIconName), 1000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(app.trayIconName(),
                                  QString::fromLatin1(TrayApplication::disconnectedIconName), 2000);

        app.togglePanel();
        QVERIFY(app.panel().isVisible());
        app.panel().contentView()->showMainWindowButton()->click(); // shows the window, closes the panel
        QVERIFY(!app.panel().isVisible());
        QVERIFY(app.appDelegate().window()->isVisible());
    }

    void singleInstance_secondLaunch_asksTheFirstToShow()
    {
        const QString name = QStringLiteral("quillmote-test-%1").arg(QCoreApplication::applicationPid());
        {
            SingleInstance first(name);
            QVERIFY(!first.notifyRunning(200));
            QVERIFY(first.listen());
            QSignalSpy shown(&first, &SingleInstance::activationRequested);
            SingleInstance second(name);
            QVERIFY(second.notifyRunning());
            QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 2000);
            QVERIFY(!second.listen());
        }
        SingleInstance afterwards(name);
        QVERIFY(!afterwards.notifyRunning(200));
        QVERIFY(afterwards.listen());
    }

    void attemptsNotice_showsCountAndDrawsNewCode()
    {
        Desktop d;
        d.fixture.server->start();
        DashboardView dashboard(d.context(), true);
        ContentView panel(d.context(), {}, {});
        dashboard.show();
        panel.show();
        QVERIFY(!dashboard.attemptsNotice()->isVisible());
        QVERIFY(!panel.attemptsNotice()->isVisible());
        // The addresses a client can use without DNS-SD, as `ip` sees them: up, not loopback,
        // no link-local IPv6.
        QProcess ip;
        ip.start(QStringLiteral("ip"), {QStringLiteral("-o"), QStringLiteral("addr"), QStringLiteral("show"),
                                        QStringLiteral("up")});
        if (ip.waitForFinished(5000)) {
            QStringList v4, v6;
            for (const QString& line : QString::fromUtf8(ip.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
                const QStringList f = line.simplified().split(u' ');
                const QString address = f.value(3).section(u'/', 0, 0);
                if (f.value(1) == QLatin1String("lo") || address.startsWith(QLatin1String("fe80")))
                    continue;
                if (f.value(2) == QLatin1String("inet"))
                    v4 << address + u':' + QString::number(d.fixture.port());
                else if (f.value(2) == QLatin1String("inet6"))
                    v6 << u'[' + address + QStringLiteral("]:") + QString::number(d.fixture.port());
            }
            const QString expected = (v4 + v6).join(QStringLiteral(", "));
            QCOMPARE(dashboard.addressLabel()->text(),
                     expected.isEmpty() ? QString() : QStringLiteral("地址：") + expected);
            QCOMPARE(panel.addressLabel()->text(), dashboard.addressLabel()->text());
        }
        for (int i = 0; i < 12; ++i)
            d.fixture.server->notePairingFailure();
        QVERIFY(dashboard.attemptsNotice()->isVisible());
        QVERIFY(panel.attemptsNotice()->textLabel()->text().contains(QLatin1String("12")));
        const QString old = d.fixture.server->pairingCode();
        QTest::mouseClick(panel.attemptsNotice()->newCodeButton(), Qt::LeftButton);
        QVERIFY(d.fixture.server->pairingCode() != old);
        QCOMPARE(dashboard.codeLabel()->text(), d.fixture.server->pairingCode());
        QCOMPARE(panel.codeLabel()->text(), d.fixture.server->pairingCode());
    }

    void polling_unchangedState_paintsNothing()
    {
        Desktop d;
        d.fixture.server->start();
        d.establish();
        DashboardView dashboard(d.context(), true);
        ContentView panel(d.context(), {}, {});
        OnboardingView onboarding(d.context(), {});
        struct PaintCounter : QObject
        {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        for (QWidget* view : {static_cast<QWidget*>(&dashboard), static_cast<QWidget*>(&panel),
                              static_cast<QWidget*>(&onboarding)}) {
            view->show();
            view->installEventFilter(&counter);
            for (QWidget* child : view->findChildren<QWidget*>())
                child->installEventFilter(&counter);
        }
        QTRY_VERIFY_WITH_TIMEOUT(onboarding.networkRow()->status() == Status::Granted, 3000);
        // With a title bar, the window fits an 800-pixel-high screen at scale 2.
        QVERIFY2(dashboard.height() <= 360 && onboarding.height() <= 360,
                 qPrintable(QStringLiteral("%1, %2").arg(dashboard.height()).arg(onboarding.height())));
        spinEventLoop(100);
        counter.paints = 0;
        for (int i = 0; i < 3; ++i) {
            dashboard.refreshPermission();
            panel.refreshPermission();
            onboarding.tick();
            spinEventLoop(30);
        }
        QCOMPARE(counter.paints, 0);
        d.sink->trusted = false;
        dashboard.refreshPermission();
        spinEventLoop(50);
        QVERIFY(counter.paints > 0);
    }

    void withoutAvahi_viewsSaySoAndLetTheUserStart_thenRecover()
    {
        Desktop d;
        OnboardingView onboarding(d.context(), {});
        DashboardView dashboard(d.context(), true);
        onboarding.show();
        dashboard.show();
        onboarding.requestNetwork(); // a tap on the row: it spins while it checks
        QCOMPARE(onboarding.networkRow()->status(), Status::Loading);
        Q_EMIT d.fixture.lastAdvertiser->unreachable(QStringLiteral("avahi-daemon is not reachable"));
        QTRY_COMPARE_WITH_TIMEOUT(onboarding.networkRow()->status(), Status::Button, 3000);
        QVERIFY(onboarding.serviceNotice()->isVisible());
        QVERIFY(onboarding.serviceNotice()->text().contains(
            QLatin1String("systemctl enable --now avahi-daemon")));
        QVERIFY(onboarding.startButton()->isEnabled());
        QCOMPARE(dashboard.statusText(), QStringLiteral("等待连接（未广播）"));
        QCOMPARE(dashboard.statusLight()->light(), colors::orange);
        QVERIFY(dashboard.serviceNotice()->isVisible());
        // The daemon appears: advertised, and the notice goes.
        d.establish();
        onboarding.tick();
        QCOMPARE(onboarding.networkRow()->status(), Status::Granted);
        QVERIFY(!onboarding.serviceNotice()->isVisible());
        QCOMPARE(dashboard.statusText(), QStringLiteral("等待连接..."));
        QVERIFY(!dashboard.serviceNotice()->isVisible());
    }

    void theme_switchedWhileRunning_isFollowed()
    {
        Desktop d;
        DashboardView dashboard(d.context(), true);
        dashboard.show();
        const QPalette light = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
        const QImage before = dashboard.updateButton()->icon().pixmap(16).toImage();
        QPalette dark = light;
        dark.setColor(QPalette::ButtonText, QColor(240, 240, 240));
        dark.setColor(QPalette::PlaceholderText, QColor(170, 170, 170));
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        QApplication::setPalette(dark);
        spinEventLoop(50);
        QCOMPARE(dashboard.statusLabel()->palette().color(QPalette::WindowText), QColor(170, 170, 170));
        QVERIFY(dashboard.updateButton()->icon().pixmap(16).toImage() != before);
    }

    void loginStart_switchWritesAValidEntryAndRemovesIt()
    {
        QTemporaryDir config;
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", oldConfig); });
        Desktop d;
        DashboardView dashboard(d.context(), true);
        QVERIFY(!dashboard.loginStartSwitch()->isChecked());
        dashboard.loginStartSwitch()->click();
        QFile entry(config.filePath(QStringLiteral("autostart/quillmote.desktop")));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().contains("\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() +
                                         "\" --minimized\n"));
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (!validator.isEmpty() || qgetenv("CI") == "true") {
            QProcess validate;
            validate.start(validator, {entry.fileName()});
            QVERIFY(validate.waitForFinished(10000));
            QVERIFY2(validate.exitCode() == 0 && validate.readAll().isEmpty(), qPrintable(validator));
        }
        QCOMPARE(QString::fromUtf8(LoginStart::entry(QStringLiteral("/opt/my \"apps\"/$q")))
                     .section(QLatin1Char('\n'), 4, 4),
                 QStringLiteral("Exec=\"/opt/my \\\"apps\\\"/\\$q\" --minimized"));
        dashboard.loginStartSwitch()->click();
        QVERIFY(!entry.exists());
        DashboardView again(d.context(), true);
        QVERIFY(!again.loginStartSwitch()->isChecked());
    }

    void singleInstance_withoutRuntimeFolder_privateFolderOnly()
    {
        QTemporaryDir tmp;
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray oldTmp = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", tmp.path().toUtf8());
        const auto restore = qScopeGuard([&] {
            qputenv("XDG_RUNTIME_DIR", runtime);
            qputenv("TMPDIR", oldTmp);
        });
        const QString folder = tmp.filePath(QStringLiteral("quillmote-%1").arg(getuid()));
        {
            SingleInstance first;
            QVERIFY(first.listen());
            struct stat st
            {
            };
            QCOMPARE(stat(QFile::encodeName(folder).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0700u);
            if (getuid() == 0) {
                // Another user cannot reach the socket.
                QSignalSpy shown(&first, &SingleInstance::activationRequested);
                const QByteArray path = first.name().toUtf8();
                const pid_t child = fork();
                if (child == 0) {
                    if (setgid(65534) != 0 || setuid(65534) != 0)
                        _exit(3);
                    sockaddr_un address{};
                    address.sun_family = AF_UNIX;
                    std::memcpy(address.sun_path, path.constData(), std::min<size_t>(path.size(), 100));
                    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
                    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
                        _exit(0);
                    (void)!write(fd, "show\n", 5);
                    _exit(1);
                }
                int status = -1;
                QCOMPARE(waitpid(child, &status, 0), child);
                QCOMPARE(WEXITSTATUS(status), 0);
                spinEventLoop(200);
                QCOMPARE(shown.size(), 0);
            }
        }
        if (getuid() != 0) {
            if (qgetenv("CI") == "true")
                QFAIL("needs root to plant another user's socket");
            QSKIP("needs root to plant another user's socket");
        }
        // Another user's socket in the fallback place is neither obeyed nor replaced.
        QVERIFY(QDir(folder).removeRecursively());
        QLocalServer planted;
        QVERIFY(planted.listen(folder));
        QCOMPARE(chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
        SingleInstance second;
        QVERIFY(!second.notifyRunning(200));
        QVERIFY(!second.listen());
        QVERIFY(QFileInfo::exists(folder));
    }

    // Last: translators stay installed once loaded.
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
        DashboardView chinese(d.context(), true);
        QCOMPARE(chinese.statusText(), QStringLiteral("服务未启动"));

        QVERIFY(installTranslation(*qApp, false));
        QCOMPARE(status(), QStringLiteral("Waiting for a connection..."));
        DashboardView english(d.context(), true);
        QCOMPARE(english.statusText(), QStringLiteral("Service not running"));
        QCOMPARE(english.loginStartSwitch()->text(), QStringLiteral("Start at login"));
        OnboardingView onboarding(d.context(), {});
        QCOMPARE(onboarding.startButton()->text(), QStringLiteral("Get Started"));
        QCOMPARE(onboarding.networkRow()->button()->text(), QStringLiteral("Grant"));
        PairingAttemptsNotice notice(*d.fixture.server);
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
