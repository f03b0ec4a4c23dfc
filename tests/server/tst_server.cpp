// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/HostIdentity.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"
#include "support/LoopbackClient.h"
#include "support/ServerFixture.h"

#include <QRegularExpression>
#include <QTest>

using namespace quillmote;
using namespace quillmote::test;
using host::InterfaceRecord;

Q_DECLARE_METATYPE(std::vector<quillmote::host::InterfaceRecord>)

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
        QCOMPARE(f.gate.pairingCode(), QStringLiteral("------"));
        QVERIFY(!f.server->listener() && !QFile::exists(f.dir.filePath(QStringLiteral("Quillmote.conf"))));

        f.server->start();
        const QString code = f.gate.pairingCode();
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
        QCOMPARE(f.gate.pairingCode(), code);

        // Waiting for the DNS-SD daemon still accepts; start() tries again with a new one.
        Q_EMIT f.lastAdvertiser->unreachable(QStringLiteral("no daemon"));
        QVERIFY(LoopbackClient(f.port()).isConnected());
        const QPointer<const Listener> waiting = f.server->listener();
        f.server->start();
        QVERIFY(!waiting && f.server->listener());
    }

    void unpairedBound_dropsTheLongestIdleStranger_notAPhoneComingBack()
    {
        struct Open : OpenConnection
        {
            Open(const char* address, int age)
                : m_peer{nextConnectionIdentity(), QHostAddress(QString::fromLatin1(address))}
            {
                m_last = std::chrono::steady_clock::now() - std::chrono::seconds(age);
            }
            const Peer& peer() const override { return m_peer; }
            std::chrono::steady_clock::time_point lastActivity() const override { return m_last; }
            void shutdown() override { shut = true; }
            Peer m_peer;
            std::chrono::steady_clock::time_point m_last;
            bool shut = false;
        };
        QTemporaryDir dir;
        const Settings settings(dir.filePath(QStringLiteral("Quillmote.conf")));
        PairingGate gate(settings);
        gate.placeCode();
        QVERIFY(gate.pairWithCode(1, QHostAddress(QStringLiteral("192.0.2.7")), gate.pairingCode()));
        gate.unpair(1);
        RemoteServer server({.gate = gate,
                             .advertiserFactory = {},
                             .name = QStringLiteral("Test Host"),
                             .unpairedConnectionLimit = 2});
        const auto returning = std::make_shared<Open>("192.0.2.7", 30),
                   stranger = std::make_shared<Open>("192.0.2.8", 20),
                   newest = std::make_shared<Open>("192.0.2.9", 10);
        for (const auto& connection : {returning, stranger, newest})
            server.admit(connection);
        QVERIFY(!returning->shut && stranger->shut && !newest->shut);
    }

    void linkLayerAddress_data()
    {
        QTest::addColumn<std::vector<InterfaceRecord>>("interfaces");
        QTest::addColumn<QString>("defaultRoute");
        QTest::addColumn<QString>("address");
        const QByteArray a("\x02\0\0\0\0\xaa", 6), b("\x02\0\0\0\0\xbb", 6), c("\x02\0\0\0\0\xcc", 6);
        const QString lo = QStringLiteral("lo");
        QTest::newRow("en0 whatever its state")
            << std::vector<InterfaceRecord>{{QStringLiteral("wlan0"), true, false, a},
                                            {QStringLiteral("en0"), false, false, b}}
            << QStringLiteral("wlan0") << QStringLiteral("02:00:00:00:00:bb");
        QTest::newRow("en0 without six bytes falls through")
            << std::vector<InterfaceRecord>{{QStringLiteral("en0"), true, false, QByteArray(4, 'x')},
                                            {QStringLiteral("wlan0"), true, false, a}}
            << QString() << QStringLiteral("02:00:00:00:00:aa");
        QTest::newRow("default route")
            << std::vector<InterfaceRecord>{{QStringLiteral("eth0"), true, false, a},
                                            {QStringLiteral("wlan0"), true, false, b}}
            << QStringLiteral("wlan0") << QStringLiteral("02:00:00:00:00:bb");
        QTest::newRow("route without address, then by name")
            << std::vector<InterfaceRecord>{{QStringLiteral("zz0"), true, false, c},
                                            {QStringLiteral("wg0"), true, false, {}},
                                            {QStringLiteral("aa0"), false, false, a},
                                            {QStringLiteral("bb0"), true, false, b}}
            << QStringLiteral("wg0") << QStringLiteral("02:00:00:00:00:bb");
        QTest::newRow("loopback and down skipped")
            << std::vector<InterfaceRecord>{{lo, true, true, a}, {QStringLiteral("eth0"), false, false, b}}
            << QString() << QString();
        QTest::newRow("none") << std::vector<InterfaceRecord>{} << QString() << QString();
    }
    void linkLayerAddress()
    {
        QFETCH(std::vector<InterfaceRecord>, interfaces);
        QFETCH(QString, defaultRoute);
        QFETCH(QString, address);
        QCOMPARE(host::chooseLinkLayerAddress(interfaces, defaultRoute), address);
    }

    void computerName_data()
    {
        QTest::addColumn<QByteArray>("machineInfo");
        QTest::addColumn<QString>("hostName");
        QTest::addColumn<QString>("name");
        QTest::newRow("pretty name") << QByteArray("PRETTY_HOSTNAME=Living room\n") << QStringLiteral("box")
                                     << QStringLiteral("Living room");
        QTest::newRow("double quotes with escapes")
            << QByteArray("X=1\nPRETTY_HOSTNAME=\"Anna\\'s \\\"PC\\\"\"\n") << QStringLiteral("box")
            << QStringLiteral("Anna's \"PC\"");
        QTest::newRow("single quotes")
            << QByteArray("PRETTY_HOSTNAME='Den'") << QStringLiteral("box") << QStringLiteral("Den");
        QTest::newRow("empty pretty name")
            << QByteArray("PRETTY_HOSTNAME=\"\"") << QStringLiteral(" box ") << QStringLiteral("box");
        QTest::newRow("fallback") << QByteArray() << QString() << QStringLiteral("Dod Evuded Azirid");
    }
    void computerName()
    {
        QFETCH(QByteArray, machineInfo);
        QFETCH(QString, hostName);
        QFETCH(QString, name);
        QCOMPARE(host::computerName(machineInfo, hostName), name);
    }
};

QTEST_GUILESS_MAIN(ServerTest)

#include "tst_server.moc"
