// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/RemoteServer.h"
#include "support/LoopbackClient.h"
#include "support/ServerFixture.h"

#include <QRegularExpression>
#include <QTest>

using namespace quillmote;
using namespace quillmote::test;

namespace {
const QRegularExpression sixDigits(QStringLiteral("^[0-9]{6}$"));
const QString waitingStatus = QStringLiteral("等待连接...");
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
        QTRY_COMPARE_WITH_TIMEOUT(f.status->connectionStatus(), QStringLiteral("服务已广播"), 2000);
        f.server->start();
        QVERIFY(first && f.server->listener() == first);

        // Failed: the text says why, a failed listener no longer accepts, start() replaces it.
        const quint16 failedPort = f.port();
        Q_EMIT f.lastAdvertiser->failed(QStringLiteral("gone"));
        f.status->showPaired(1);
        QTRY_COMPARE_WITH_TIMEOUT(f.status->connectionStatus(), QStringLiteral("启动失败: gone"), 2000);
        QVERIFY(f.status->isConnected()); // the text says why; who is paired stays paired
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
    }
};

QTEST_GUILESS_MAIN(ServerTest)

#include "tst_server.moc"
