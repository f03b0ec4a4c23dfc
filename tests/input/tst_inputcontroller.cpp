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
MouseEvent button(int type, int which, double x, double y, std::int64_t clicks)
{
    return MouseEvent{type, {x, y}, which, clicks, 0, 0, 0, 0};
}
std::vector<Event> keys(std::initializer_list<KeyEvent> list)
{
    return {list.begin(), list.end()};
}
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
} // namespace

class InputControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void movePointer_fractionsAndClamping()
    {
        Fixture f;
        f.controller.movePointer(0.7, -0.7);
        f.controller.movePointer(5000, 0);  // right: stops a tenth short of the edge
        f.controller.movePointer(-9000, 0); // left: stops on the edge itself
        f.controller.movePointer(0, 0);     // still posts, where the pointer is
        f.controller.dragPointer(3, 4);     // a drag without a button down is still a drag
        f.controller.movePointer(-2.5, 5000);
        const std::vector<Event> expected{
            move(100.7, 99.3, 0, 0, 0.7, -0.7),
            move(999.9, 99.3, 5000, 0, 5000, 0),
            move(0, 99.3, -9000, 0, -9000, 0),
            move(0, 99.3, 0, 0, 0, 0),
            move(3, 103.3, 3, 4, 3, 4, LeftMouseDragged),
            move(0.5, 799.9, -2, 5000, -2.5, 5000),
        };
        QCOMPARE(f.sink->events, expected);
    }

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

    void buttons_clicksAndPresses_exactSequences()
    {
        Fixture f;
        f.sink->pointer = Point{12.5, 7.25};
        f.controller.doubleClick();
        f.controller.rightClick();
        f.controller.mouseDown();
        f.controller.mouseUp();
        f.controller.leftClick();
        f.controller.magnify(1.5);
        const std::vector<Event> expected{
            button(LeftMouseDown, LeftButton, 12.5, 7.25, 1),
            button(LeftMouseUp, LeftButton, 12.5, 7.25, 1),
            button(LeftMouseDown, LeftButton, 12.5, 7.25, 2),
            button(LeftMouseUp, LeftButton, 12.5, 7.25, 2),
            button(RightMouseDown, RightButton, 12.5, 7.25, 1),
            button(RightMouseUp, RightButton, 12.5, 7.25, 1),
            button(LeftMouseDown, LeftButton, 12.5, 7.25, 1),
            button(LeftMouseUp, LeftButton, 12.5, 7.25, 1),
            button(LeftMouseDown, LeftButton, 12.5, 7.25, 1),
            button(LeftMouseUp, LeftButton, 12.5, 7.25, 1),
        };
        QCOMPARE(f.sink->events, expected);
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

    void pressKey_modifierOrderAndFlags()
    {
        Fixture f;
        f.controller.pressKey(36, 0);
        QCOMPARE(f.sink->events, keys({{36, true, 0}, {36, false, 0}}));
        f.sink->events.clear();
        f.controller.pressKey(55, 0);
        QCOMPARE(f.sink->events, keys({{55, true, 0}, {55, false, 0}}));
        f.sink->events.clear();
        const std::uint64_t all =
            flagCommand | flagShift | flagOption | flagControl | 0x1; // plus an unknown bit
        f.controller.pressKey(2, all);
        QCOMPARE(f.sink->events, keys({{55, true, 0},
                                       {56, true, 0},
                                       {58, true, 0},
                                       {59, true, 0},
                                       {2, true, all},
                                       {2, false, all},
                                       {59, false, 0},
                                       {58, false, 0},
                                       {56, false, 0},
                                       {55, false, 0}}));
        f.sink->events.clear();
        f.controller.pressKey(2, 0x180000); // Command-Option-D
        QCOMPARE(f.sink->events, keys({{55, true, 0},
                                       {58, true, 0},
                                       {2, true, 0x180000},
                                       {2, false, 0x180000},
                                       {58, false, 0},
                                       {55, false, 0}}));
    }

    void pressMediaKey_dataWords()
    {
        Fixture f;
        f.controller.pressMediaKey(7);
        f.controller.pressMediaKey(0);
        f.controller.pressMediaKey(1);
        QCOMPARE(
            f.sink->events,
            (std::vector<Event>{SystemEvent{8, 0x70a00, -1, 0xa00}, SystemEvent{8, 0x70b00, -1, 0xb00},
                                SystemEvent{8, 0xa00, -1, 0xa00}, SystemEvent{8, 0xb00, -1, 0xb00},
                                SystemEvent{8, 0x10a00, -1, 0xa00}, SystemEvent{8, 0x10b00, -1, 0xb00}}));
        f.sink->events.clear();
        f.controller.pressMediaKey(0x8000); // the 32-bit word is widened with its sign
        QCOMPARE(std::get<SystemEvent>(f.sink->events.front()).data1,
                 std::int64_t(std::int32_t(0x80000a00u)));
    }

    void typeText_deferredToLoop_inOrder()
    {
        Fixture f;
        f.controller.typeText(QStringLiteral("你好"));
        f.controller.typeText(QString());
        QVERIFY(f.sink->events.empty());
        QVERIFY(f.sink->clipboard.isEmpty());
        quillmote::test::spinEventLoop(20);
        QCOMPARE(f.sink->clipboard, (QStringList{QStringLiteral("你好"), QString()}));
        const std::vector<Event> paste =
            keys({{55, true, 0}, {9, true, flagCommand}, {9, false, flagCommand}, {55, false, 0}});
        std::vector<Event> twice = paste;
        twice.insert(twice.end(), paste.begin(), paste.end());
        QCOMPARE(f.sink->events, twice);
    }

    void checkAccessibility_answersFromBackend()
    {
        Fixture f;
        QVERIFY(f.controller.checkAccessibility(true));
        f.sink->trusted = false;
        QVERIFY(!f.controller.checkAccessibility(false));
        InputController none(std::make_unique<NoneSink>());
        QVERIFY(!none.checkAccessibility(false));
    }
};

QTEST_GUILESS_MAIN(InputControllerTest)
#include "tst_inputcontroller.moc"
