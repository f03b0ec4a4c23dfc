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

    void unfinishedCommand_waitsForItsRest_aBoundedTime()
    {
        using namespace quillmote::input;
        ControllerFixture input;
        ServerFixture f(&steady_clock::now, &input.controller);
        f.server->start();
        LoopbackClient phone(f.port());
        QCOMPARE(phone.exchange(f.pairCommand()), f.pairedReply());
        phone.send("MOVE:3,");
        QVERIFY(phone.staysSilent(300));
        QCOMPARE(phone.exchange("4"), QByteArray("ACK_MOVE"));
        QCOMPARE(input.events(), (std::vector<Event>{PointerMotion{{103, 104}, 3, 4, false}}));
        // Never finished: handled as it stands once the wait is over, as it always was.
        const auto start = steady_clock::now();
        QCOMPARE(phone.exchange("KEY:", 3000), QByteArray("ACK_KEY"));
        QVERIFY(steady_clock::now() - start >= milliseconds(ReceiveLoop::restWaitMs - 50));
        QCOMPARE(input.events().size(), 1u);
    }

    void newDevice_pairsOnlyOnceAllowed_knownAtOnce_removedOrUnansweredRefused()
    {
        ControllerFixture input;
        ServerFixture f(&steady_clock::now, &input.controller, {}, true);
        f.server->start();
        QList<DeviceApproval::Request> asked;
        connect(&f.approval, &DeviceApproval::requested, this,
                [&asked](const DeviceApproval::Request& request) { asked << request; });
        LoopbackClient phone(f.port(), "127.0.3.1"), sameDevice(f.port(), "127.0.3.1");
        QCOMPARE(phone.exchange("PAIR:000000"), QByteArray("PAIR_FAILED")); // a wrong code asks nobody
        // The right code waits for the answer; commands sent meanwhile wait behind it.
        phone.send(f.pairCommand());
        QVERIFY(phone.staysSilent());
        sameDevice.send(f.pairCommand());
        QVERIFY(sameDevice.staysSilent(100));
        phone.send("MOVE:1,1");
        QCOMPARE(asked.size(), 1); // one question per device
        QCOMPARE(asked[0].description(), QStringLiteral("Phone app (127.0.3.1)"));
        QCOMPARE(f.gate.pairedCount(), 0);
        QVERIFY(f.approval.answer(asked[0].id, true));
        QVERIFY(!f.approval.answer(asked[0].id, true));
        QByteArray replies = phone.receive();
        if (replies == f.pairedReply())
            replies += phone.receive();
        QCOMPARE(replies, f.pairedReply() + "ACK_MOVE");
        QCOMPARE(sameDevice.receive(), f.pairedReply());
        // Known from now on, also to a server that reads the same settings.
        QCOMPARE(LoopbackClient(f.port(), "127.0.3.1").exchange(f.pairCommand()), f.pairedReply());
        QCOMPARE(KnownDevices(f.settings).devices().size(), 1);
        // Removed: cut off at once, and asked about again.
        QVERIFY(f.devices.remove(QStringLiteral("127.0.3.1")));
        QVERIFY(phone.isEndedByServer() && sameDevice.isEndedByServer());
        LoopbackClient back(f.port(), "127.0.3.1");
        QVERIFY(back.exchange(f.pairCommand(), 100).isEmpty());
        QCOMPARE(asked.size(), 2);
        // Refused by the user, or not answered within the bound.
        LoopbackClient refused(f.port(), "127.0.3.2");
        refused.send(f.pairCommand());
        QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 3, 2000);
        QVERIFY(f.approval.answer(asked[2].id, false));
        QCOMPARE(refused.receive(), QByteArray("PAIR_FAILED"));
        QCOMPARE(back.receive(3000), QByteArray("PAIR_FAILED")); // never answered
        // A flood of new devices with the code asks a bounded number of questions.
        std::vector<std::unique_ptr<LoopbackClient>> flood;
        for (int i = 0; i < DeviceApproval::maxRequests + 2; ++i) {
            flood.push_back(std::make_unique<LoopbackClient>(
                f.port(), qPrintable(QStringLiteral("127.0.4.%1").arg(i + 1))));
            flood.back()->send(f.pairCommand());
        }
        QCOMPARE(flood.back()->receive(), QByteArray("PAIR_FAILED"));
        QCOMPARE(f.approval.requests().size(), DeviceApproval::maxRequests);
        // Asking switched off: a new device pairs and is listed.
        f.devices.setAsksAboutNewDevices(false);
        QCOMPARE(LoopbackClient(f.port(), "127.0.5.1").exchange(f.pairCommand()), f.pairedReply());
        QVERIFY(f.devices.find(QStringLiteral("127.0.5.1")));
    }
};

QTEST_GUILESS_MAIN(ReceiveLoopTest)

#include "tst_receiveloop.moc"
