// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/RemoteServer.h"
#include "support/LoopbackClient.h"
#include "support/ServerFixture.h"

#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using namespace quillmote;
using namespace quillmote::test;

namespace {
const QRegularExpression sixDigits(QStringLiteral("^[0-9]{6}$"));
const QString waitingStatus = QStringLiteral("等待连接...");
const QString broadcastStatus = QStringLiteral("服务已广播");
} // namespace

class ServerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void listener_replacedOnlyWhenFailedOrWaiting_codeAndStatusFollow()
    {
        ServerFixture f;
        QCOMPARE(f.status->connectionStatus(), QStringLiteral("等待启动..."));
        QCOMPARE(f.server->pairingCode(), QStringLiteral("------"));
        QVERIFY(!f.server->listener() && !QFile::exists(f.dir.filePath(QStringLiteral("Quillmote.conf"))));

        f.server->start();
        const QString code = f.server->pairingCode();
        QVERIFY(sixDigits.match(code).hasMatch());
        QCOMPARE(f.status->connectionStatus(), QStringLiteral("等待启动...")); // after this turn
        QTRY_COMPARE_WITH_TIMEOUT(f.status->connectionStatus(), waitingStatus, 2000);
        QCOMPARE(f.lastAdvertiser->advertisedType, QStringLiteral("_zoduvived._tcp"));
        QCOMPARE(f.lastAdvertiser->advertisedPort, f.port());

        // Still being set up, then ready: start() leaves the listener alone.
        const QPointer<const Listener> first = f.server->listener();
        f.server->start();
        QVERIFY(first && f.server->listener() == first);
        Q_EMIT f.lastAdvertiser->established(QStringLiteral("Test Host"));
        QTRY_COMPARE_WITH_TIMEOUT(f.status->connectionStatus(), broadcastStatus, 2000);
        f.server->start();
        QVERIFY(first && f.server->listener() == first);

        // Failed: the text says why, a failed listener no longer accepts, start() replaces it.
        const quint16 failedPort = f.port();
        Q_EMIT f.lastAdvertiser->failed(QStringLiteral("gone"));
        QTRY_COMPARE_WITH_TIMEOUT(f.status->connectionStatus(), QStringLiteral("启动失败: gone"), 2000);
        QVERIFY(!LoopbackClient(failedPort).isConnected());
        f.server->start();
        QVERIFY(!first && f.server->listener()->state() == ListenerState::Setup);
        QCOMPARE(f.server->pairingCode(), code);

        // Waiting for the DNS-SD daemon still accepts; start() tries again with a new one.
        Q_EMIT f.lastAdvertiser->unreachable(QStringLiteral("no daemon"));
        QVERIFY(LoopbackClient(f.port()).isConnected());
        const QPointer<const Listener> waiting = f.server->listener();
        f.server->start();
        QVERIFY(!waiting && f.server->listener());

        ServerFixture none;
        none.advertiserAvailable = false;
        none.server->start();
        QVERIFY(!none.server->listener() && sixDigits.match(none.server->pairingCode()).hasMatch());
        QTRY_COMPARE_WITH_TIMEOUT(none.status->connectionStatus(), waitingStatus, 2000);
    }

    void status_pairedCount_notifiesBeforeEachChange()
    {
        ServerFixture f;
        QStringList events;
        connect(f.status.get(), &ServerStatus::objectWillChange, this,
                [&] { events << QStringLiteral("will"); });
        connect(f.status.get(), &ServerStatus::isConnectedChanged, this,
                [&](bool on) { events << QStringLiteral("connected=%1").arg(on); });
        connect(f.status.get(), &ServerStatus::connectionStatusChanged, this,
                [&](const QString& s) { events << s; });
        f.status->showPaired(1);
        f.status->showConnectionCount(2);
        f.status->showConnectionCount(0);
        QCOMPARE(events,
                 (QStringList{"will", "connected=1", "will", "设备已连接 (1)", "will", "connected=1", "will",
                              "设备已连接 (2)", "will", "connected=0", "will", "等待连接..."}));
        f.status->showPaired(1);
        f.server->start();
        Q_EMIT f.lastAdvertiser->failed(QStringLiteral("gone"));
        QTRY_COMPARE_WITH_TIMEOUT(f.status->connectionStatus(), QStringLiteral("启动失败: gone"), 2000);
        QVERIFY(f.status->isConnected());
    }

    void codes_storedKeptMalformedReplaced_drawnEvenly_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("kept");
        QTest::newRow("leading zeros") << "000042" << true;
        QTest::newRow("seven digits") << "1234567" << false;
        QTest::newRow("five digits") << "12345" << false;
        QTest::newRow("letter") << "12a456" << false;
        QTest::newRow("full-width digits") << "１２３４５６" << false;
    }

    void codes_storedKeptMalformedReplaced_drawnEvenly()
    {
        QFETCH(QString, stored);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Quillmote.conf"));
        QSettings(path, QSettings::IniFormat)
            .setValue(QLatin1String(PairingCodeStore::pairingCodeKey), stored);
        const QString code = PairingCodeStore(path).place();
        QVERIFY(sixDigits.match(code).hasMatch());
        QCOMPARE(code == stored, kept);
        QCOMPARE(QSettings(path, QSettings::IniFormat)
                     .value(QLatin1String(PairingCodeStore::pairingCodeKey))
                     .toString(),
                 code);
        if (!kept) // a file that holds a code drawn here is the user's alone
            QCOMPARE(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                     QFile::Permissions());

        QSet<QString> seen;
        for (int i = 0; i < 2000; ++i)
            seen.insert(PairingCodeStore::draw());
        QVERIFY(seen.size() > 1980 && std::all_of(seen.begin(), seen.end(), [](const QString& c) {
                    return sixDigits.match(c).hasMatch();
                }));
        QVERIFY(std::any_of(seen.begin(), seen.end(), [](const QString& c) { return c.startsWith(u'0'); }));
    }
};

QTEST_GUILESS_MAIN(ServerTest)

#include "tst_server.moc"
