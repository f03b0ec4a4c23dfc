// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "protocol/PairingThrottle.h"

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
} // namespace

class PairingThrottleTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void allows_threeFailures_freeThenWaitsGrow()
    {
        FakeClock t;
        PairingThrottle throttle(t.clock());
        const QHostAddress a(QStringLiteral("192.0.2.1"));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(throttle.allows(a));
            throttle.recordFailure(a);
        }
        QVERIFY(throttle.allows(a)); // the fourth attempt is still free
        throttle.recordFailure(a);
        QVERIFY(!throttle.allows(a));
        t.now += milliseconds(999);
        QVERIFY(!throttle.allows(a));
        t.now += milliseconds(1);
        QVERIFY(throttle.allows(a));
        throttle.recordFailure(a);
        t.now += milliseconds(1999);
        QVERIFY(!throttle.allows(a));
        t.now += milliseconds(1);
        QVERIFY(throttle.allows(a));
        throttle.recordSuccess(a);
        throttle.recordFailure(a);
        QVERIFY(throttle.allows(a)); // success starts the count again
    }

    void sources_ipv4Separate_ipv6GroupedBy64_mappedIsIpv4()
    {
        FakeClock t;
        PairingThrottle throttle(t.clock());
        const auto exhaust = [&](const char* address) {
            for (int i = 0; i < 4; ++i)
                throttle.recordFailure(QHostAddress(QString::fromLatin1(address)));
        };
        exhaust("192.0.2.1");
        QVERIFY(!throttle.allows(QHostAddress(QStringLiteral("::ffff:192.0.2.1"))));
        QVERIFY(throttle.allows(QHostAddress(QStringLiteral("192.0.2.2"))));
        exhaust("2001:db8:1:2::1");
        QVERIFY(!throttle.allows(QHostAddress(QStringLiteral("2001:db8:1:2:ffff::9"))));
        QVERIFY(throttle.allows(QHostAddress(QStringLiteral("2001:db8:1:3::1"))));
    }

    void guessing_hundredSources_takesOverThirtyDaysOnAverage()
    {
        // An attacker with 100 sources splits the 500,000 guesses that find a code on
        // average; each source makes its share as fast as the throttle lets it.
        FakeClock t;
        PairingThrottle throttle(t.clock());
        const QHostAddress source(QStringLiteral("192.0.2.7"));
        const steady_clock::time_point start = t.now;
        constexpr int guessesPerSource = 500'000 / 100;
        for (int i = 0; i < guessesPerSource; ++i) {
            for (int wait = 0; !throttle.allows(source); ++wait) {
                QVERIFY(wait < 1);
                t.now += PairingThrottle::delayAfter(i);
            }
            throttle.recordFailure(source);
        }
        const auto days = duration_cast<hours>(t.now - start).count() / 24.0;
        QVERIFY2(days >= 30.0, qPrintable(QStringLiteral("%1 days").arg(days)));
    }

    void sources_manyAddresses_tableStaysBounded()
    {
        FakeClock t;
        PairingThrottle throttle(t.clock());
        const QHostAddress first(QStringLiteral("198.51.100.1"));
        for (int i = 0; i < 4; ++i)
            throttle.recordFailure(first);
        for (quint32 i = 0; i < PairingThrottle::maxSources + 10; ++i) {
            t.now += milliseconds(1);
            throttle.recordFailure(QHostAddress(0xC6120000u + i));
        }
        // The quietest source was forgotten rather than the table growing without end.
        QVERIFY(throttle.allows(first));
    }
};

QObject* makePairingThrottleTest()
{
    return new PairingThrottleTest;
}

#include "tst_pairingthrottle.moc"
