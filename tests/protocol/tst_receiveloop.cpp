// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "support/LoopbackClient.h"
#include "support/ServerFixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace quillmote;
using namespace quillmote::test;
using namespace std::chrono;

namespace {
QByteArray successReply(const ServerFixture& f)
{
    return "PAIR_SUCCESS|" + f.server->macAddress().toUtf8();
}
} // namespace

class ReceiveLoopTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pairing_codeForms_silenceBeforeIt_andUndecodableReads()
    {
        ServerFixture f;
        f.server->start();
        LoopbackClient client(f.port());
        const QByteArray code = f.server->pairingCode().toUtf8();
        for (const QByteArray& m :
             {QByteArray("MOVE:5,5"), QByteArray("KEY:ENTER"), QByteArray("CMD:SLEEP"), "pair:" + code,
              "PAIR:" + code + "\xff\xfe", "PAIR:" + code + "\xed\xa0\x80"}) {
            client.send(m); // unpaired, lower case, not UTF-8 (an encoded surrogate neither)
            QVERIFY2(client.staysSilent(100), m.constData());
        }
        // A character cut at the end of a read makes the read undecodable: dropped silently.
        const QByteArray characters[] = {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80"};
        for (const QByteArray& character : characters) {
            for (qsizetype cut = 1; cut < character.size(); ++cut) {
                client.send("PAIR:" + code + character.left(cut));
                QVERIFY2(client.staysSilent(100), character.left(cut).toHex().constData());
            }
        }
        for (const QByteArray& wrong : {code.left(5), " " + code, QByteArray("abcdef")}) // three are free
            QCOMPARE(client.exchange("PAIR:" + wrong), QByteArray("PAIR_FAILED"));
        for (const QByteArray& suffix :
             {QByteArray(), QByteArray("\n"), QByteArray("99"), QByteArray("你好")})
            QCOMPARE(client.exchange("PAIR:" + code + suffix), successReply(f));
        // 3000 bytes arrive as several reads; the pieces after the first begin with no keyword.
        client.send("PAIR:" + code + QByteArray(3000 - 11, '7'));
        QCOMPARE(client.receive(), successReply(f));
        QVERIFY(client.staysSilent(150));
    }

    void throttle_wrongCodes_rightCodeAfterThreePairsAtOnce_afterFourWaits()
    {
        auto now = std::make_shared<steady_clock::time_point>(steady_clock::time_point(hours(5)));
        ServerFixture f(0, [now] { return *now; });
        f.server->start();
        const QByteArray pair = "PAIR:" + f.server->pairingCode().toUtf8();
        const QByteArray wrong =
            "PAIR:" +
            QByteArray::number((f.server->pairingCode().toInt() + 1) % 1000000).rightJustified(6, '0');
        {
            LoopbackClient client(f.port());
            for (int round = 0; round < 2; ++round) { // pairing clears the source's failures
                for (int i = 0; i < 3; ++i)
                    QCOMPARE(client.exchange(wrong), QByteArray("PAIR_FAILED"));
                QCOMPARE(client.exchange(pair), successReply(f));
            }
        }
        LoopbackClient attacker(f.port());
        for (int i = 0; i < 4; ++i)
            QCOMPARE(attacker.exchange(wrong), QByteArray("PAIR_FAILED"));
        // Throttled: the right code is refused, on a new connection from the same source too.
        QCOMPARE(attacker.exchange(pair), QByteArray("PAIR_FAILED"));
        LoopbackClient sameSource(f.port());
        QCOMPARE(sameSource.exchange(pair), QByteArray("PAIR_FAILED"));
        // Another source is not held back.
        LoopbackClient otherSource(f.port(), "127.0.0.2");
        QVERIFY(otherSource.isConnected());
        QCOMPARE(otherSource.exchange(pair), successReply(f));
        *now += seconds(1);
        QCOMPARE(attacker.exchange(pair), successReply(f));
    }

    void throttle_manyLoopbackSources_boundAcrossAll_failuresShown_newCode()
    {
        auto now = std::make_shared<steady_clock::time_point>(steady_clock::time_point(hours(5)));
        ServerFixture f(0, [now] { return *now; });
        f.server->start();
        const QByteArray pair = "PAIR:" + f.server->pairingCode().toUtf8();
        QSignalSpy failures(f.server.get(), &RemoteServer::failedPairingAttemptsChanged);
        // Twenty sources each send a wrong code: all are checked, nobody is slowed yet.
        for (int i = 0; i < 20; ++i) {
            LoopbackClient source(f.port(), qPrintable(QStringLiteral("127.0.1.%1").arg(i + 1)));
            QCOMPARE(source.exchange("PAIR:99999x"), QByteArray("PAIR_FAILED"));
        }
        QCOMPARE(f.server->failedPairingAttempts(), 20);
        QCOMPARE(failures.count(), 20);
        // Now even the right code from a new source waits for the budget to refill.
        LoopbackClient newcomer(f.port(), "127.0.2.1");
        QCOMPARE(newcomer.exchange(pair), QByteArray("PAIR_FAILED"));
        QCOMPARE(f.server->failedPairingAttempts(), 21);
        *now += PairingThrottle::refillInterval;
        QCOMPARE(newcomer.exchange(pair), successReply(f));

        // The count falls back to nothing a minute later.
        *now += seconds(61);
        QTRY_COMPARE_WITH_TIMEOUT(f.server->failedPairingAttempts(), 0, 3000);
    }
};

QTEST_GUILESS_MAIN(ReceiveLoopTest)

#include "tst_receiveloop.moc"
