// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/desktop/DBusUserActivity.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace quillmote;

namespace {
// The screen saver service of a session, as the wake action sees it on the bus.
class ScreenSaverService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    int calls = 0;
public Q_SLOTS:
    void SimulateUserActivity() { ++calls; }
};
} // namespace

// The rest of the host actions run in the system tests, with the real executable and tools.
class ActionsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void wake_callsSimulateUserActivityOnAPrivateSessionBus()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
            if (qEnvironmentVariable("CI") == QLatin1String("true"))
                QFAIL("dbus-daemon is missing");
            QSKIP("dbus-daemon is missing");
        }
        QProcess bus;
        bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                  QStringLiteral("--print-address=1")});
        QVERIFY(bus.waitForStarted(5000));
        const auto stop = qScopeGuard([&] {
            bus.terminate();
            if (!bus.waitForFinished(3000))
                bus.kill();
        });
        QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 5000);
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        {
            QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("screensaver"));
            ScreenSaverService screenSaver;
            QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver,
                                           QDBusConnection::ExportAllSlots));
            QVERIFY(service.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
            desktop::DBusUserActivity activity(
                QDBusConnection::connectToBus(address, QStringLiteral("client")));
            activity.declareUserActivity(QStringLiteral("User Wake Requested"));
            activity.declareUserActivity(QStringLiteral("User Wake Requested"));
            QTRY_COMPARE_WITH_TIMEOUT(screenSaver.calls, 2, 5000);

            // Nobody answering is no error, and nothing waits for an answer.
            service.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
            QElapsedTimer timer;
            timer.start();
            activity.declareUserActivity(QStringLiteral("User Wake Requested"));
            desktop::DBusUserActivity(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"),
                                                                    QStringLiteral("nobus")))
                .declareUserActivity(QStringLiteral("User Wake Requested"));
            QVERIFY(timer.elapsed() < 500);
        }
        for (const char* name : {"screensaver", "client", "nobus"})
            QDBusConnection::disconnectFromBus(QString::fromLatin1(name));
    }
};

QTEST_GUILESS_MAIN(ActionsTest)
#include "tst_actions.moc"
