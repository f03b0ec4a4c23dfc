// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/PairingGate.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quillmote;
using namespace std::chrono;

namespace {
struct FakeClock
{
    steady_clock::time_point now = steady_clock::time_point(hours(1));
    PairingThrottle::Clock clock()
    {
        return [this] { return now; };
    }
};

QHostAddress v4(quint32 address)
{
    return QHostAddress(address);
}
} // namespace

class PairingGateTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void global_twentyFromManySources_thenOnlyTrustedUntilRefilled()
    {
        FakeClock t;
        PairingThrottle throttle(t.clock());
        const QHostAddress phone(QStringLiteral("192.0.2.50"));
        const QHostAddress localUser(QStringLiteral("127.0.0.9"));
        throttle.recordSuccess(phone);
        throttle.recordSuccess(localUser);
        // A source is an IPv4 address (mapped or not) or an IPv6 /64.
        for (const char* source : {"::ffff:192.0.2.1", "2001:db8:1:2:ffff::9"}) {
            for (int i = 0; i < 4; ++i)
                throttle.recordFailure(QHostAddress(QString::fromLatin1(source)));
        }
        QVERIFY(!throttle.allows(QHostAddress(QStringLiteral("192.0.2.1"))));
        QVERIFY(!throttle.allows(QHostAddress(QStringLiteral("2001:db8:1:2::1"))));
        QVERIFY(throttle.allows(QHostAddress(QStringLiteral("192.0.2.2"))));
        QVERIFY(throttle.allows(QHostAddress(QStringLiteral("2001:db8:1:3::1"))));
        t.now += hours(1); // the budget is full again
        // People mistyping are never slowed: twenty wrong codes from many sources are checked.
        for (quint32 i = 0; i < 20; ++i) {
            QVERIFY(throttle.allows(v4(0xC0000200u + i)));
            throttle.recordFailure(v4(0xC0000200u + i));
        }
        QVERIFY(!throttle.allows(v4(0xC0000280u)));
        QVERIFY(!throttle.allows(QHostAddress(QStringLiteral("2001:db8:9::1"))));
        // An address that paired before is still checked; a loopback one never is exempt.
        QVERIFY(throttle.allows(phone));
        QVERIFY(!throttle.allows(localUser));
        t.now += PairingThrottle::refillInterval;
        QVERIFY(throttle.allows(v4(0xC0000280u)));
        throttle.recordFailure(v4(0xC0000280u));
        QVERIFY(!throttle.allows(v4(0xC0000281u)));
        // The budget refills to the burst and no further.
        t.now += hours(24);
        for (quint32 i = 0; i < 20; ++i) {
            QVERIFY(throttle.allows(v4(0xC6330000u + i)));
            throttle.recordFailure(v4(0xC6330000u + i));
        }
        QVERIFY(!throttle.allows(v4(0xC6330100u)));
    }

    void proof_pairsDuringAnAttackOnTheCode_wrongProofsSlowOnlyTheirSource()
    {
        FakeClock t;
        QTemporaryDir dir;
        const Settings settings(dir.filePath(QStringLiteral("Quillmote.conf")));
        PairingGate gate(settings, t.clock());
        QVERIFY(!gate.pairWithCode(1, v4(0xC0000201u), u"------")); // no code placed yet
        QVERIFY(gate.placeCode() && !gate.placeCode());
        for (quint32 i = 0; i < PairingThrottle::burst; ++i)
            QVERIFY(!gate.pairWithCode(i, v4(0xC0000210u + i), u"abcdef"));
        const QHostAddress newcomer(QStringLiteral("198.51.100.7"));
        QVERIFY(!gate.pairWithCode(50, newcomer, gate.pairingCode())); // the shared budget is spent
        QVERIFY(gate.pairWithProof(51, newcomer, [] { return true; }));
        QVERIFY(gate.isPaired(51) && !gate.isPaired(50));
        QCOMPARE(gate.pairedCount(), 1);

        const QHostAddress prober(QStringLiteral("198.51.100.8"));
        for (int i = 0; i < PairingThrottle::freeFailures + 1; ++i)
            QVERIFY(!gate.pairWithProof(60, prober, [] { return false; }));
        bool checked = false;
        QVERIFY(!gate.pairWithProof(60, prober, [&checked] { return checked = true; }));
        QVERIFY(!checked); // its source waits now, and its proof is not even looked at
        QCOMPARE(gate.throttle().checkedFailures(), quint64(PairingThrottle::burst)); // proofs drew nothing
        const int wrongProofs = PairingThrottle::freeFailures + 1;
        QCOMPARE(gate.failedPairingAttempts(), 1 + PairingThrottle::burst + 1 + wrongProofs + 1);

        t.now += PairingThrottle::refillInterval;
        QVERIFY(gate.pairWithCode(70, QHostAddress(QStringLiteral("203.0.113.1")),
                                  gate.pairingCode() + QLatin1Char(0x0a)));
        gate.unpair(51);
        QCOMPARE(gate.pairedCount(), 1);
        QVERIFY(gate.isPaired(70));
    }

    void ipv6_neighboursOnThePrefixNeverLockOutAPhoneThatPairedBefore()
    {
        FakeClock t;
        PairingThrottle throttle(t.clock());
        const QHostAddress phone(QStringLiteral("2001:db8:5::2")), neighbour(QStringLiteral("2001:db8:5::3"));
        throttle.recordSuccess(phone);
        for (int i = 0; i < 10; ++i)
            throttle.recordFailure(neighbour);
        QVERIFY(!throttle.allows(neighbour));
        // The prefix waits for a code, not for a link's proof, which cannot be guessed.
        QVERIFY(!throttle.allows(QHostAddress(QStringLiteral("2001:db8:5::4"))));
        QVERIFY(throttle.allowsProof(QHostAddress(QStringLiteral("2001:db8:5::4"))));
        QVERIFY(throttle.allows(phone));
        throttle.recordFailure(phone); // its own mistakes count for it alone
        QVERIFY(throttle.allows(phone));
    }

    // Strangers filling the table, then one wrong answer every 100 ms, hold back neither a phone
    // that paired before nor a proof; they never get fresh free tries, and the table forgets
    // nobody still slowed.
    void table_full_forgetsNobodyStillSlowed_locksOutNoPhoneWithARightToPair()
    {
        FakeClock t;
        PairingThrottle throttle(t.clock());
        const QHostAddress phone(QStringLiteral("192.0.2.50")), first(QStringLiteral("198.51.100.1"));
        throttle.recordSuccess(phone);
        for (int i = 0; i < 14; ++i)
            throttle.recordFailure(first); // waits the longest
        const QHostAddress last = v4(0xCB007100u + PairingThrottle::maxSources - 2);
        for (quint32 i = 0; i < PairingThrottle::maxSources + 10; ++i) {
            t.now += milliseconds(1);
            const QHostAddress source = v4(0xCB007100u + i);
            for (int k = 0; k < (source == last ? 14 : 4); ++k)
                throttle.recordFailure(source, k % 2 == 0);
        }
        QCOMPARE(throttle.sourceCount(), PairingThrottle::maxSources);
        t.now += seconds(200); // the global budget is full again
        QVERIFY(!throttle.allows(first));
        QVERIFY(!throttle.allows(last));
        const quint64 checkedBefore = throttle.checkedFailures();
        for (quint32 i = 0; i < 600; ++i) { // a minute of the attack
            t.now += milliseconds(100);
            const QHostAddress stranger = v4(0x0A000001u + i % 3);
            if (throttle.allows(stranger))
                throttle.recordFailure(stranger);
            if (throttle.allowsProof(stranger))
                throttle.recordFailure(stranger, false);
            QVERIFY(throttle.allows(phone));
            QVERIFY(throttle.allowsProof(v4(0x0B000001u)));
        }
        QCOMPARE(throttle.sourceCount(), PairingThrottle::maxSources);
        // The strangers' codes were only ever checked within the shared budget.
        QVERIFY(throttle.checkedFailures() - checkedBefore <= quint64(PairingThrottle::burst + 60 / 6));
        throttle.recordFailure(phone); // its own mistakes count for it alone, in a record of its own
        QCOMPARE(throttle.sourceCount(), PairingThrottle::maxSources + 1);
        // Sources quiet for an hour and no longer slowed make room again.
        t.now += PairingThrottle::forgetAfter;
        throttle.recordFailure(v4(0x0A000009u));
        QVERIFY(throttle.sourceCount() < 10);
        QVERIFY(throttle.allows(v4(0x0A00000Au)));
    }
};

QTEST_GUILESS_MAIN(PairingGateTest)

#include "tst_pairinggate.moc"
