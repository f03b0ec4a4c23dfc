// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "support/LoopbackClient.h"
#include "support/ServerFixture.h"
#include "support/TestSink.h"

#include <QSignalSpy>
#include <QTest>

using namespace quillmote;
using namespace quillmote::test;
using quillmote::test::ControllerFixture;
using namespace std::chrono;

class ReceiveLoopTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void throttle_wrongCodes_rightCodeAfterThreePairsAtOnce_afterFourWaits()
    {
        auto now = std::make_shared<steady_clock::time_point>(steady_clock::time_point(hours(5)));
        ServerFixture f([now] { return *now; });
        f.server->start();
        const QByteArray pair = f.pairCommand();
        const QByteArray wrong =
            "PAIR:" + QByteArray::number((f.gate.pairingCode().toInt() + 1) % 1000000).rightJustified(6, '0');
        {
            LoopbackClient client(f.port());
            for (int round = 0; round < 2; ++round) { // pairing clears the source's failures
                for (int i = 0; i < 3; ++i)
                    QCOMPARE(client.exchange(wrong), QByteArray("PAIR_FAILED"));
                QCOMPARE(client.exchange(pair), f.pairedReply());
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
        QCOMPARE(otherSource.exchange(pair), f.pairedReply());
        *now += seconds(1);
        QCOMPARE(attacker.exchange(pair), f.pairedReply());
    }

    void throttle_manyLoopbackSources_boundAcrossAll_failuresShown_newCode()
    {
        auto now = std::make_shared<steady_clock::time_point>(steady_clock::time_point(hours(5)));
        ServerFixture f([now] { return *now; });
        f.server->start();
        const QByteArray pair = f.pairCommand();
        QSignalSpy failures(&f.gate, &PairingGate::failedPairingAttemptsChanged);
        // Twenty sources each send a wrong code: all are checked, nobody is slowed yet.
        for (int i = 0; i < 20; ++i) {
            LoopbackClient source(f.port(), qPrintable(QStringLiteral("127.0.1.%1").arg(i + 1)));
            QCOMPARE(source.exchange("PAIR:99999x"), QByteArray("PAIR_FAILED"));
        }
        QCOMPARE(f.gate.failedPairingAttempts(), 20);
        QCOMPARE(failures.count(), 20);
        // Now even the right code from a new source waits for the budget to refill.
        LoopbackClient newcomer(f.port(), "127.0.2.1");
        QCOMPARE(newcomer.exchange(pair), QByteArray("PAIR_FAILED"));
        QCOMPARE(f.gate.failedPairingAttempts(), 21);
        *now += PairingThrottle::refillInterval;
        QCOMPARE(newcomer.exchange(pair), f.pairedReply());

        // The count falls back to nothing a minute later.
        *now += seconds(61);
        QTRY_COMPARE_WITH_TIMEOUT(f.gate.failedPairingAttempts(), 0, 3000);
    }

    void connectionEnds_theLeftButtonItHeldIsReleased_notAnotherOnes()
    {
        using namespace quillmote::input;
        ControllerFixture input;
        ServerFixture f(&steady_clock::now, &input.controller);
        f.server->start();
        LoopbackClient dragging(f.port());
        LoopbackClient other(f.port());
        for (LoopbackClient* client : {&dragging, &other})
            QCOMPARE(client->exchange(f.pairCommand()), f.pairedReply());
        QCOMPARE(dragging.exchange("MOUSE_DOWN"), QByteArray("ACK_MOUSE_DOWN"));
        QCOMPARE(dragging.exchange("DRAG:5,0"), QByteArray("ACK_DRAG"));
        const Point at{105, 100};
        const std::vector<Event> pressed{ButtonChange{Button::Left, true, 1, {100, 100}},
                                         PointerMotion{at, 5, 0, true}};
        {
            LoopbackClient bystander(f.port()); // pairs and leaves: not its button
            QCOMPARE(bystander.exchange(f.pairCommand()), f.pairedReply());
        }
        spinEventLoop(100);
        QCOMPARE(input.events(), pressed);
        dragging.finish(); // the phone's network went away mid-drag
        const std::vector<Event> released =
            pressed + std::vector<Event>{ButtonChange{Button::Left, false, 1, at}};
        QTRY_COMPARE_WITH_TIMEOUT(input.events(), released, 2000);
        // Released by its own MOUSE_UP, it is not released again when the phone leaves.
        QCOMPARE(other.exchange("MOUSE_DOWN"), QByteArray("ACK_MOUSE_DOWN"));
        QCOMPARE(other.exchange("MOUSE_UP"), QByteArray("ACK_MOUSE_UP"));
        other.finish();
        spinEventLoop(100);
        QCOMPARE(input.events().size(), pressed.size() + 3);
    }
};

QTEST_GUILESS_MAIN(ReceiveLoopTest)

#include "tst_receiveloop.moc"
