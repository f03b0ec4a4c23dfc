// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/RemoteServer.h"
#include "support/LoopbackClient.h"
#include "support/ServerFixture.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

using namespace quillmote;
using namespace quillmote::test;

namespace {
const QString initialStatus = QStringLiteral("等待启动...");
const QString waitingStatus = QStringLiteral("等待连接...");
const QString broadcastStatus = QStringLiteral("服务已广播");
} // namespace

class RemoteServerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void construction_fresh_showsInitialStateAndStartsNothing()
    {
        ServerFixture f;
        QCOMPARE(f.server->connectionStatus(), initialStatus);
        QCOMPARE(f.server->isConnected(), false);
        QCOMPARE(f.server->pairingCode(), QStringLiteral("------"));
        QCOMPARE(f.server->serviceType(), QStringLiteral("_zoduvived._tcp"));
        QVERIFY(f.server->listener() == nullptr);
        QVERIFY(f.lastAdvertiser.isNull());
        QVERIFY(!QFile::exists(f.dir.filePath(QStringLiteral("Quillmote.conf"))));
    }

    void start_first_placesCodeAtOnceAndPostsWaitingStatus()
    {
        ServerFixture f;
        QSignalSpy status(f.server.get(), &RemoteServer::connectionStatusChanged);
        f.server->start();
        QVERIFY(PairingCodeStore::isWellFormed(f.server->pairingCode()));
        QCOMPARE(f.server->connectionStatus(), initialStatus); // posted, not yet run
        QTRY_COMPARE_WITH_TIMEOUT(f.server->connectionStatus(), waitingStatus, 2000);
        QCOMPARE(status.count(), 1);
        QVERIFY(f.server->listener());
        QCOMPARE(f.server->listener()->state(), ListenerState::Setup);
        QCOMPARE(f.lastAdvertiser->advertisedName, QStringLiteral("Test Host"));
        QCOMPARE(f.lastAdvertiser->advertisedType, QStringLiteral("_zoduvived._tcp"));
        QCOMPARE(f.lastAdvertiser->advertisedPort, f.port());
        QVERIFY(f.port() != 0);
    }

    void start_preferredPortTaken_advertisesThePortItGot()
    {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::Any));
        ServerFixture f(0, &std::chrono::steady_clock::now, nullptr, nullptr, {holder.serverPort(), true});
        f.server->start();
        QVERIFY(f.port() != 0 && f.port() != holder.serverPort());
        QCOMPARE(f.lastAdvertiser->advertisedPort, f.port());
    }

    void start_whileSetupOrReady_doesNothing()
    {
        ServerFixture f;
        f.server->start();
        const Listener* first = f.server->listener();
        const QString code = f.server->pairingCode();
        f.server->start();
        QCOMPARE(f.server->listener(), first);

        Q_EMIT f.lastAdvertiser->established(QStringLiteral("Test Host"));
        QCOMPARE(f.server->listener()->state(), ListenerState::Ready);
        QTRY_COMPARE_WITH_TIMEOUT(f.server->connectionStatus(), broadcastStatus, 2000);

        QSignalSpy status(f.server.get(), &RemoteServer::connectionStatusChanged);
        QSettings(f.dir.filePath(QStringLiteral("Quillmote.conf")), QSettings::IniFormat)
            .setValue(QLatin1String(PairingCodeStore::pairingCodeKey), "111111");
        f.server->start();
        spinEventLoop(50);
        QCOMPARE(f.server->listener(), first);
        QCOMPARE(f.server->pairingCode(), code);
        QCOMPARE(status.count(), 0);
    }

    void start_afterFailure_replacesListenerAndKeepsCodeAndStatus()
    {
        ServerFixture f;
        f.server->start();
        const QString code = f.server->pairingCode();
        const quint16 firstPort = f.port();
        Q_EMIT f.lastAdvertiser->failed(QStringLiteral("registration refused"));
        QCOMPARE(f.server->listener()->state(), ListenerState::Failed);
        QTRY_COMPARE_WITH_TIMEOUT(f.server->connectionStatus(),
                                  QStringLiteral("启动失败: registration refused"), 2000);
        // A failed listener no longer accepts.
        QVERIFY(!LoopbackClient(firstPort).isConnected());

        QSignalSpy status(f.server.get(), &RemoteServer::connectionStatusChanged);
        f.server->start();
        QCOMPARE(f.server->listener()->state(), ListenerState::Setup);
        QVERIFY(f.port() != 0);
        QCOMPARE(f.server->pairingCode(), code);
        spinEventLoop(50);
        QCOMPARE(status.count(), 0);
        QVERIFY(LoopbackClient(f.port()).isConnected());
    }

    void start_whileWaiting_replacesListener()
    {
        ServerFixture f;
        f.server->start();
        Q_EMIT f.lastAdvertiser->unreachable(QStringLiteral("no daemon"));
        QCOMPARE(f.server->listener()->state(), ListenerState::Waiting);
        // Waiting still accepts connections.
        QVERIFY(LoopbackClient(f.port()).isConnected());
        const QPointer<ManualAdvertiser> first = f.lastAdvertiser;
        f.server->start();
        QVERIFY(first.isNull()); // the old listener and its advertisement are gone
        QCOMPARE(f.server->listener()->state(), ListenerState::Setup);
        Q_EMIT f.lastAdvertiser->established(QStringLiteral("Test Host"));
        QTRY_COMPARE_WITH_TIMEOUT(f.server->connectionStatus(), broadcastStatus, 2000);
    }

    void start_withoutAdvertiser_placesCodeAndTriesAgainLater()
    {
        ServerFixture f;
        f.advertiserAvailable = false;
        f.server->start();
        QVERIFY(f.server->listener() == nullptr);
        QVERIFY(PairingCodeStore::isWellFormed(f.server->pairingCode()));
        QTRY_COMPARE_WITH_TIMEOUT(f.server->connectionStatus(), waitingStatus, 2000);
        f.advertiserAvailable = true;
        f.server->start();
        QVERIFY(f.server->listener());
    }

    void statusUpdates_countsAndOrder_notifyBeforeEachChange()
    {
        ServerFixture f;
        QStringList events;
        connect(f.server.get(), &RemoteServer::objectWillChange, this,
                [&] { events << QStringLiteral("will"); });
        connect(f.server.get(), &RemoteServer::isConnectedChanged, this,
                [&](bool on) { events << QStringLiteral("connected=%1").arg(on); });
        connect(f.server.get(), &RemoteServer::connectionStatusChanged, this,
                [&](const QString& s) { events << s; });

        f.server->showPaired(1);
        f.server->showConnectionCount(2);
        f.server->showConnectionCount(0);
        QCOMPARE(events,
                 (QStringList{"will", "connected=1", "will", "设备已连接 (1)", "will", "connected=1", "will",
                              "设备已连接 (2)", "will", "connected=0", "will", "等待连接..."}));
    }

    void failure_afterPairing_replacesTextKeepsConnected()
    {
        ServerFixture f;
        f.server->start();
        f.server->showPaired(1);
        Q_EMIT f.lastAdvertiser->failed(QStringLiteral("gone"));
        QTRY_COMPARE_WITH_TIMEOUT(f.server->connectionStatus(), QStringLiteral("启动失败: gone"), 2000);
        QCOMPARE(f.server->isConnected(), true);
    }
};

QObject* makeRemoteServerTest()
{
    return new RemoteServerTest;
}

#include "tst_remoteserver.moc"
