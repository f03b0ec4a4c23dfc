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

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
} // namespace

class InputControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scroll_remaindersCarried_unrepresentableSumsReset()
    {
        Fixture f;
        f.controller.scroll(0.5, 0);
        QVERIFY(f.sink->events.empty());
        f.controller.scroll(0.5, 0);
        f.controller.scroll(-0.9, 0); // 0.2 - 1.08: no whole notch, -0.88 kept
        f.controller.scroll(0.4, 3);  // -0.4 stays; 3.6 gives 3
        QCOMPARE(f.sink->events, (std::vector<Event>{ScrollEvent{0, 0, 1, 0}, ScrollEvent{0, 3, 0, 0}}));
        QVERIFY(qAbs(f.controller.accumulatorX() + 0.4) < 1e-9);
        QVERIFY(qAbs(f.controller.accumulatorY() - 0.6) < 1e-9);

        Fixture g;
        g.controller.scroll(0.5, 0.5);
        g.controller.scroll(notANumber, 0);
        g.controller.scroll(0, 2e9); // 2.4e9 leaves the wheel's 32 bits
        g.controller.scroll(-inf, inf);
        QVERIFY(g.sink->events.empty());
        QCOMPARE(g.controller.accumulatorX(), 0.0);
        g.controller.scroll(0, 1e9); // 1.2e9 fits
        QCOMPARE(g.sink->events, (std::vector<Event>{ScrollEvent{0, 1200000000, 0, 0}}));
    }
    void paste_laterInputWaitsUntilTheTextWasFetched_orABoundedWait()
    {
        Fixture f;
        f.sink->reportsFetch = true;
        const auto paste = quillmote::test::keyStroke(9, flagCommand);
        f.controller.typeText(QStringLiteral("abc"));
        f.controller.pressKey(123, 0);
        f.controller.pressKey(49, 0);
        f.controller.typeText(QStringLiteral("def"));
        quillmote::test::spinEventLoop(50);
        QCOMPARE(f.sink->events, paste);
        QCOMPARE(f.sink->clipboard, QStringList{QStringLiteral("abc")}); // not replaced before it was fetched
        f.sink->fetchPaste();
        std::vector<Event> expected = paste;
        for (const auto& keys : {quillmote::test::keyStroke(123), quillmote::test::keyStroke(49), paste})
            expected.insert(expected.end(), keys.begin(), keys.end());
        QTRY_COMPARE_WITH_TIMEOUT(f.sink->events, expected, 1000);
        QCOMPARE(f.sink->clipboard, (QStringList{QStringLiteral("abc"), QStringLiteral("def")}));

        // Nobody fetches the second text: the rest goes on after a bounded wait.
        const auto enter = quillmote::test::keyStroke(36);
        f.controller.pressKey(36, 0);
        QCOMPARE(f.sink->events.size(), expected.size());
        expected.insert(expected.end(), enter.begin(), enter.end());
        QTRY_COMPARE_WITH_TIMEOUT(f.sink->events, expected, 1000);

        // A text that cannot be placed is not pasted: the chord would paste the old one.
        f.sink->clipboardWorks = false;
        f.controller.typeText(QStringLiteral("xyz"));
        f.controller.pressKey(36, 0);
        expected.insert(expected.end(), enter.begin(), enter.end());
        QTRY_COMPARE_WITH_TIMEOUT(f.sink->events, expected, 1000);
    }

    void terminals_pasteWithShiftInsertFromBothSelections_closeWithShift()
    {
        Fixture f;
        using quillmote::test::keyStroke;
        for (const char* terminal : {"xfce4-terminal", "gnome-terminal-server", "st-256color", "XTerm"}) {
            f.sink->windowClass = QString::fromLatin1(terminal);
            f.sink->events.clear();
            f.controller.typeText(QStringLiteral("ls"));
            QTRY_COMPARE_WITH_TIMEOUT(f.sink->events, keyStroke(114, flagShift), 1000);
            QCOMPARE(f.sink->primary.constLast(), QStringLiteral("ls"));
            f.controller.pressPaste();
            f.controller.closeWindow(); // with Control+Shift+W
            QCOMPARE(std::vector(f.sink->events.begin() + 4, f.sink->events.begin() + 8),
                     keyStroke(114, flagShift));
            QCOMPARE(std::vector(f.sink->events.begin() + 8, f.sink->events.end()),
                     keyStroke(13, flagCommand | flagShift));
        }
    }
};

QTEST_GUILESS_MAIN(InputControllerTest)
#include "tst_inputcontroller.moc"
