// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/InputController.h"
#include "support/LoopbackClient.h"
#include "support/TestSink.h"

#include <QTest>

#include <limits>

using namespace quillmote::input;
using quillmote::test::ControllerFixture;
using quillmote::test::keyStroke;
using quillmote::test::spinEventLoop;

namespace {
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

Event clipboard(const char* text, bool primary = false)
{
    return ClipboardText{QString::fromUtf8(text), primary};
}
} // namespace

class InputControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scroll_remaindersCarried_unrepresentableSumsReset()
    {
        ControllerFixture f;
        f.controller.scroll(0.5, 0);
        QVERIFY(f.events().empty());
        f.controller.scroll(0.5, 0);
        f.controller.scroll(-0.9, 0); // 0.2 - 1.08: no whole notch, -0.88 kept
        f.controller.scroll(0.4, 3);  // -0.4 stays; 3.6 gives 3
        QCOMPARE(f.events(), (std::vector<Event>{WheelScroll{0, 1}, WheelScroll{3, 0}}));
        QVERIFY(qAbs(f.controller.accumulatorX() + 0.4) < 1e-9);
        QVERIFY(qAbs(f.controller.accumulatorY() - 0.6) < 1e-9);

        ControllerFixture g;
        g.controller.scroll(0.5, 0.5);
        g.controller.scroll(notANumber, 0);
        g.controller.scroll(0, 2e9); // 2.4e9 leaves the wheel's 32 bits
        g.controller.scroll(-inf, inf);
        QVERIFY(g.events().empty());
        QCOMPARE(g.controller.accumulatorX(), 0.0);
        g.controller.scroll(0, 1e9); // 1.2e9 fits
        QCOMPARE(g.events(), (std::vector<Event>{WheelScroll{1200000000, 0}}));
    }

    void paste_laterInputWaitsUntilTheTextWasFetched_orABoundedWait()
    {
        ControllerFixture f;
        f.clipboard->reportsFetch = true;
        const auto paste = keyStroke(KEY_V, Control);
        f.controller.typeText(QStringLiteral("abc"));
        f.controller.pressKey(KEY_LEFT);
        f.controller.pressKey(KEY_SPACE);
        f.controller.typeText(QStringLiteral("def"));
        spinEventLoop(50);
        // Not replaced before it was fetched.
        QCOMPARE(f.events(), (std::vector{clipboard("abc")} + paste));
        f.clipboard->fetch();
        std::vector<Event> expected = std::vector{clipboard("abc")} + paste + keyStroke(KEY_LEFT) +
                                      keyStroke(KEY_SPACE) + std::vector{clipboard("def")} + paste;
        QTRY_COMPARE_WITH_TIMEOUT(f.events(), expected, 1000);

        // Nobody fetches the second text: the rest goes on after a bounded wait.
        f.controller.pressKey(KEY_ENTER);
        QCOMPARE(f.events().size(), expected.size());
        expected = expected + keyStroke(KEY_ENTER);
        QTRY_COMPARE_WITH_TIMEOUT(f.events(), expected, InputController::pasteWaitMs + 500);

        // A text that cannot be placed is not pasted: the chord would paste the old one.
        f.clipboard->works = false;
        f.controller.typeText(QStringLiteral("xyz"));
        f.controller.pressKey(KEY_ENTER);
        expected = expected + keyStroke(KEY_ENTER);
        QTRY_COMPARE_WITH_TIMEOUT(f.events(), expected, 1000);
    }

    void notReady_inputWaitsInOrder_asItDoesForAClipboardAnsweringLater()
    {
        ControllerFixture f;
        // A clipboard that answers later (wl-copy): the chord and what follows wait for it.
        f.clipboard->answersLater = true;
        f.controller.typeText(QStringLiteral("hi"));
        f.controller.movePointer(5, 0);
        spinEventLoop(50);
        QCOMPARE(f.events(), std::vector{clipboard("hi")});
        QCOMPARE(f.controller.queuedOperations(), 1);
        f.clipboard->pending();
        QCOMPARE(f.events(), (std::vector{clipboard("hi")} + keyStroke(KEY_V, Control) +
                              std::vector<Event>{PointerMotion{{105, 100}, 5, 0, false}}));

        // A backend still being chosen: nothing is posted or lost, and the order is kept.
        auto sink = std::make_unique<quillmote::test::TestSink>();
        sink->ready = false;
        quillmote::test::TestSink* waiting = sink.get();
        InputBackend backend;
        backend.sink = std::move(sink);
        InputController controller(std::move(backend));
        controller.pressKey(KEY_ENTER);
        controller.dragPointer(1, 2);
        controller.typeText(QStringLiteral("lost")); // no clipboard here: nothing to paste
        controller.mouseUp();
        spinEventLoop(20);
        QVERIFY(waiting->events.empty());
        waiting->becomeReady();
        const std::vector<Event> inOrder =
            keyStroke(KEY_ENTER) + std::vector<Event>{PointerMotion{{101, 102}, 1, 2, true},
                                                      ButtonChange{Button::Left, false, 1, {101, 102}}};
        QTRY_COMPARE_WITH_TIMEOUT(waiting->events, inOrder, 1000);
    }

    void queue_oneOriginTypingFasterThanPastesComplete_isCutOff_othersGoOn()
    {
        ControllerFixture f;
        f.clipboard->reportsFetch = true; // and nobody fetches: each paste waits its time out
        int dropped = 0;
        for (int i = 0; i < 50; ++i) {
            const InputController::Origin flooding(&f.controller, 1);
            f.controller.typeText(QStringLiteral("t%1").arg(i));
            dropped += flooding.dropped();
        }
        QCOMPARE(dropped, 50 - InputController::maxQueuedPastesPerOrigin);
        {
            const InputController::Origin other(&f.controller, 2);
            f.controller.movePointer(1, 0);
            QCOMPARE(other.dropped(), 0);
        }
        QCOMPARE(f.controller.queuedOperations(), InputController::maxQueuedPastesPerOrigin + 1);
        // The other origin's move comes after the few pastes that were let in, not after fifty.
        QTRY_VERIFY_WITH_TIMEOUT(
            !f.events().empty() && std::holds_alternative<PointerMotion>(f.events().back()),
            (InputController::maxQueuedPastesPerOrigin + 2) * InputController::pasteWaitMs);
    }

    // Shift+Insert takes the primary selection in most terminals: for the phone's Paste it holds
    // the clipboard's content, and where that cannot be done the chord is pressed all the same.
    void terminals_pasteWithShiftInsertFromBothSelections_closeWithShift()
    {
        ControllerFixture f;
        for (const char* terminal : {"xfce4-terminal", "gnome-terminal-server", "st-256color", "XTerm"}) {
            f.windowManager->windowClass = QString::fromLatin1(terminal);
            f.events().clear();
            f.controller.typeText(QStringLiteral("ls"));
            f.controller.pressPaste();
            f.controller.closeWindow();
            const std::vector<Event> terminalChords =
                std::vector{clipboard("ls", true)} + keyStroke(KEY_INSERT, Shift) +
                std::vector{clipboard("(the clipboard)", true)} + keyStroke(KEY_INSERT, Shift) +
                keyStroke(KEY_W, Control | Shift);
            QTRY_COMPARE_WITH_TIMEOUT(f.events(), terminalChords, 1000);
        }
        f.clipboard->works = false;
        f.events().clear();
        f.controller.pressPaste();
        QCOMPARE(f.events(), keyStroke(KEY_INSERT, Shift));
        f.windowManager->windowClass = QStringLiteral("mousepad");
        f.events().clear();
        f.controller.pressPaste();
        f.controller.closeWindow();
        QCOMPARE(f.events(), (keyStroke(KEY_V, Control) + keyStroke(KEY_W, Control)));
    }
};

QTEST_GUILESS_MAIN(InputControllerTest)
#include "tst_inputcontroller.moc"
