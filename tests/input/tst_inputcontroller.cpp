// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/InputController.h"
#include "support/LoopbackClient.h"
#include "support/TestSink.h"

#include <QTest>

#include <limits>

using namespace quillmote::input;
using quillmote::test::TestSink;

namespace {
struct Fixture
{
    Fixture() : sink(new TestSink), controller(std::unique_ptr<EventSink>(sink)) {}
    TestSink* sink;
    InputController controller;
};

MouseEvent move(double x, double y, std::int64_t dx, std::int64_t dy, double fdx, double fdy,
                int type = MouseMoved)
{
    return MouseEvent{type, {x, y}, LeftButton, 0, dx, dy, fdx, fdy};
}
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
} // namespace

class InputControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void movePointer_displayUnionWithGap_boundingBoxOnly()
    {
        Fixture f;
        // Side by side, of different heights; the point below the shorter one stays put.
        f.sink->displays = std::vector<Rect>{{0, 0, 800, 600}, {800, -100, 400, 900}};
        f.sink->pointer = Point{700, 590};
        f.controller.movePointer(0, 100);
        f.controller.movePointer(1000, 1000);
        f.controller.movePointer(-5000, -5000);
        QCOMPARE(f.sink->events, (std::vector<Event>{move(700, 690, 0, 100, 0, 100),
                                                     move(1199.9, 799.9, 1000, 1000, 1000, 1000),
                                                     move(0, -100, -5000, -5000, -5000, -5000)}));
    }

    void movePointer_noDisplaysOrNoPointer_unclampedOrNothing()
    {
        Fixture f;
        f.sink->displays = std::nullopt;
        f.controller.movePointer(-500, 0);
        QCOMPARE(f.sink->events, (std::vector<Event>{move(-400, 100, -500, 0, -500, 0)}));
        f.sink->displays = std::vector<Rect>{};
        f.controller.movePointer(0, -500);
        QCOMPARE(f.sink->events.back(), Event(move(-400, -400, 0, -500, 0, -500)));
        f.sink->pointer = std::nullopt;
        f.controller.movePointer(1, 1);
        f.controller.leftClick();
        f.controller.doubleClick();
        QCOMPARE(f.sink->events.size(), size_t(2));
    }

    void movePointer_unrepresentableDeltas_postNothing_data()
    {
        QTest::addColumn<double>("dx");
        QTest::addColumn<double>("dy");
        QTest::newRow("inf") << inf << 0.0;
        QTest::newRow("-inf") << 0.0 << -inf;
        QTest::newRow("nan") << notANumber << 1.0;
        QTest::newRow("1e400 reads as inf") << 1e300 * 1e300 << 0.0;
        QTest::newRow("2^63") << 9223372036854775808.0 << 0.0;
        QTest::newRow("-1e19") << 0.0 << -1e19;
    }
    void movePointer_unrepresentableDeltas_postNothing()
    {
        QFETCH(double, dx);
        QFETCH(double, dy);
        Fixture f;
        f.controller.movePointer(dx, dy);
        f.controller.dragPointer(dx, dy);
        QVERIFY(f.sink->events.empty());
        f.controller.movePointer(-9223372036854775808.0, 0); // the lowest 64-bit value still fits
        QCOMPARE(f.sink->events.size(), size_t(1));
    }

    void scroll_accumulators_carryRemainders()
    {
        Fixture f;
        f.controller.scroll(0.5, 0);
        QVERIFY(f.sink->events.empty());
        QCOMPARE(f.controller.accumulatorX(), 0.6);
        f.controller.scroll(0.5, 0);
        QCOMPARE(f.sink->events, (std::vector<Event>{ScrollEvent{0, 0, 1, 0}}));
        QVERIFY(qAbs(f.controller.accumulatorX() - 0.2) < 1e-9);

        Fixture g;
        g.controller.scroll(-0.9, 0);
        QVERIFY(qAbs(g.controller.accumulatorX() + 0.08) < 1e-9);
        g.controller.scroll(0, 10);
        g.controller.scroll(0.4, 3);
        QCOMPARE(g.sink->events, (std::vector<Event>{ScrollEvent{0, 0, -1, 0}, ScrollEvent{0, 12, 0, 0},
                                                     ScrollEvent{0, 3, 0, 0}}));
        QVERIFY(qAbs(g.controller.accumulatorX() - 0.4) < 1e-9); // -0.08 + 0.48
        QVERIFY(qAbs(g.controller.accumulatorY() - 0.6) < 1e-9);
    }

    void scroll_unrepresentableSums_resetAndPostNothing()
    {
        Fixture f;
        f.controller.scroll(0.5, 0.5);
        f.controller.scroll(notANumber, 0);
        f.controller.scroll(0, 2e9); // 2.4e9 leaves the wheel's 32 bits
        f.controller.scroll(-inf, inf);
        QVERIFY(f.sink->events.empty());
        QCOMPARE(f.controller.accumulatorX(), 0.0);
        QCOMPARE(f.controller.accumulatorY(), 0.0);
        f.controller.scroll(0, 1e9); // 1.2e9 fits
        QCOMPARE(f.sink->events, (std::vector<Event>{ScrollEvent{0, 1200000000, 0, 0}}));
    }
};

QTEST_GUILESS_MAIN(InputControllerTest)
#include "tst_inputcontroller.moc"
