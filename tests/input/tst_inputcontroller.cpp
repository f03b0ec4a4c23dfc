// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/InputController.h"
#include "input/PointerState.h"
#include "input/ShieldFallbackSink.h"
#include "input/Terminals.h"
#include "support/LoopbackClient.h"
#include "support/TestSink.h"

#include <QTest>

#include <limits>

using namespace quillmote::input;
using namespace Qt::StringLiterals;
using quillmote::test::ControllerFixture;
using quillmote::test::keyStroke;
using quillmote::test::spinEventLoop;
using quillmote::test::TestClock;

namespace {
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

Event clipboard(const char* text, bool primary = false)
{
    return ClipboardText{QString::fromUtf8(text), primary};
}

// A layout that has a few characters, among them a tab, DEL, C1 and NBSP and one outside the BMP.
// clang-format off
const CharacterKeys layout{{U'a', {KEY_A, 0}},         {U'A', {KEY_A, Shift}},  {U' ', {KEY_SPACE, 0}},
                           {U'\t', {KEY_TAB, 0}},      {0x7f, {KEY_DELETE, 0}}, {0x9f, {KEY_F13, 0}},
                           {0xa0, {KEY_SPACE, AltGr}}, {U'😀', {KEY_F14, 0}},    {U'\n', {KEY_ENTER, 0}}};
// clang-format on

std::vector<Event> typed(const char* text)
{
    std::vector<Event> events;
    for (const char* c = text; *c; ++c) {
        const KeyStroke stroke = usCharacterKeys().at(char32_t(*c));
        events.push_back(KeyChange{stroke.key, true, stroke.modifiers, true, stroke.character});
        events.push_back(KeyChange{stroke.key, false, stroke.modifiers, true, stroke.character});
    }
    return events;
}
} // namespace

class InputControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void wheelSteps_data()
    {
        QTest::addColumn<int>("perNotch");
        QTest::addColumn<QList<int>>("pixels");
        QTest::addColumn<QList<int>>("notches");
        QTest::addColumn<int>("remainder");
        QTest::newRow("the rest completes a notch") << 10 << QList{4, 6} << QList{0, 1} << 0;
        QTest::newRow("no travel keeps the rest") << 10 << QList{7, 0, 3} << QList{0, 0, 1} << 0;
        QTest::newRow("downwards keeps its sign") << 10 << QList{-15, -5} << QList{-1, -1} << 0;
        QTest::newRow("a turn either way drops the rest") << 10 << QList{9, -2, 5} << QList{0, 0, 0} << 5;
        QTest::newRow("larger notches") << 120 << QList{119, 1, 240} << QList{0, 1, 2} << 0;
        QTest::newRow("excess notches are dropped") << 10 << QList{5000, 5} << QList{100, 0} << 5;
        QTest::newRow("32-bit extremes")
            << 10 << QList{INT32_MAX, INT32_MAX, INT32_MIN} << QList{100, 100, -100} << -8;
    }
    void wheelSteps()
    {
        QFETCH(int, perNotch);
        QFETCH(QList<int>, pixels);
        QFETCH(QList<int>, notches);
        QFETCH(int, remainder);
        WheelSteps steps(perNotch);
        QList<int> taken;
        for (const int p : pixels)
            taken << steps.take(p);
        QCOMPARE(taken, notches);
        QCOMPARE(steps.remainder(), remainder);
    }

    void terminals_data()
    {
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<bool>("terminal");
        for (const char* name : {"xterm", "XTerm", "gnome-terminal-server", "st", "st-256color",
                                 "org.gnome.Console", "Alacritty", "footclient", "x-terminal-emulator"})
            QTest::newRow(name) << QString::fromLatin1(name) << true;
        for (const char* name :
             {"", "-", "stterm", "xterminal", "sterm-", "mousepad", "org.gnome.TextEditor", "konsol"})
            QTest::addRow("not \"%s\"", name) << QString::fromLatin1(name) << false;
    }
    void terminals()
    {
        QFETCH(QString, windowClass);
        QFETCH(bool, terminal);
        QCOMPARE(isTerminalEmulator(windowClass), terminal);
    }

    // The runs as "typed:…|pasted:…"; typed runs must have one stroke per character.
    void splitForTyping_data()
    {
        QTest::addColumn<bool>("withLayout");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("runs");
        QTest::addColumn<bool>("typesAny");
        const auto row = [](const char* name, const QString& text, const QString& runs,
                            bool withLayout = true, bool typesAny = false) {
            QTest::newRow(name) << withLayout << text << runs << typesAny;
        };
        row("all typed", u"aA a"_s, u"typed:aA a"_s);
        row("unknown characters pasted between", u"aééa"_s, u"typed:a|pasted:éé|typed:a"_s);
        row("a tab pasted though the layout has it", u"a\ta"_s, u"typed:a|pasted:\t|typed:a"_s);
        row("DEL and C1 pasted, NBSP typed", u"\x7f\x9f\xa0"_s, u"pasted:\x7f\x9f|typed:\xa0"_s);
        row("outside the BMP, one character", u"a😀"_s, u"typed:a😀"_s);
        row("a lone surrogate at the end", u"a"_s + QChar(0xd83d), u"typed:a|pasted:"_s + QChar(0xd83d));
        for (const char16_t lineBreak : {u'\n', u'\r', u'\x2028', u'\x2029'})
            QTest::addRow("line break U+%04X pastes it all", lineBreak)
                << true << u"a"_s + QChar(lineBreak) + u"a"_s << u"pasted:a"_s + QChar(lineBreak) + u"a"_s
                << true;
        row("no layout pastes it all", u"aa"_s, u"pasted:aa"_s, false);
        // A sink that lends keys types what the layout lacks, but neither controls nor a lone surrogate.
        row("lent keys type what the layout lacks", u"aé中🎉"_s, u"typed:aé中🎉"_s, true, true);
        row("lent keys leave controls pasted", u"é	"_s, u"typed:é|pasted:	"_s, true, true);
        row("lent keys and a lone surrogate", u"é"_s + QChar(0xdc00), u"typed:é|pasted:"_s + QChar(0xdc00),
            true, true);
    }
    void splitForTyping()
    {
        QFETCH(bool, withLayout);
        QFETCH(QString, text);
        QFETCH(QString, runs);
        QFETCH(bool, typesAny);
        QStringList got;
        for (const TextRun& run :
             quillmote::input::splitForTyping(text, withLayout ? &layout : nullptr, typesAny)) {
            got << (run.strokes.empty() ? u"pasted:"_s : u"typed:"_s) + run.text;
            if (run.strokes.empty())
                continue;
            std::vector<KeyStroke> strokes;
            for (const char32_t c : run.text.toUcs4())
                strokes.push_back(layout.contains(c) ? layout.at(c) : KeyStroke{0, 0, c});
            QCOMPARE(run.strokes, strokes);
        }
        QCOMPARE(got.join(u'|'), runs);
    }

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

    // LibreOffice takes an Enter sent right behind a text ahead of it: where the sink asks, keys of
    // another kind wait, from when those before them went out, and a paste waits before it
    // places its text (its chord must follow the placing at once).
    void keysOfAnotherKind_keepApartFromWhenTheKeysBeforeWentOut()
    {
        ControllerFixture f(std::make_unique<UsKeymap>());
        f.sink->apartMs = 80;
        const auto apart = [&](std::size_t later, std::size_t earlier) {
            return f.sink->times.at(later) - f.sink->times.at(earlier) >= std::chrono::milliseconds(80);
        };
        f.controller.typeText(QStringLiteral("a a"));
        f.controller.pressKey(KEY_ENTER);
        f.controller.typeText(QStringLiteral("aa"));
        f.controller.movePointer(1, 0);
        const std::vector<Event> all = typed("a a") + keyStroke(KEY_ENTER) + typed("aa") +
                                       std::vector<Event>{PointerMotion{{101, 100}, 1, 0, false}};
        QTRY_COMPARE_WITH_TIMEOUT(f.events(), all, 1000);
        QVERIFY(apart(6, 5) && apart(8, 7));

        // Keys still on their way (calls not answered): the wait starts once they are out.
        f.events().clear();
        f.sink->times.clear();
        f.sink->pending = true;
        f.controller.pressKey(KEY_BACKSPACE);
        f.controller.typeText(QStringLiteral("a\t"));
        spinEventLoop(200);
        f.sink->finishSending();
        const auto sent = TestClock::now();
        // A tab is pasted: its chord, Control+V, is of the Backspace's kind, not the text's; its
        // text is placed after the wait, the chord right after.
        QTRY_COMPARE_WITH_TIMEOUT(f.events(),
                                  keyStroke(KEY_BACKSPACE) + typed("a") + std::vector{clipboard("\t")} +
                                      keyStroke(KEY_V, Control),
                                  1000);
        QVERIFY(f.sink->times.at(2) - sent >= std::chrono::milliseconds(80));
        QVERIFY(apart(4, 3));
    }

    // At the desktop's screen shield uinput carries the input: only while this login session is in
    // front, and until the desktop allows its own way again or the user says no.
    void shieldFallback_whileShieldedAndInFront()
    {
        struct Session : LoginSession
        {
            bool active = true;
            bool isActive() const override { return active; }
        };
        using quillmote::test::TestSink;
        using State = InputAccess::State;
        InputAccess shown, *portal = nullptr;
        TestSink *primary = nullptr, *fallback = nullptr;
        int opened = 0;
        auto session = std::make_unique<Session>();
        Session* front = session.get();
        ShieldFallbackSink sink(
            [&](InputAccess& access) {
                portal = &access;
                auto made = std::make_unique<TestSink>();
                primary = made.get();
                return made;
            },
            [&](InputAccess&, QString*) {
                ++opened;
                auto made = std::make_unique<TestSink>();
                fallback = made.get();
                return made;
            },
            std::move(session), shown);
        const auto press = [&](std::uint16_t key) { sink.post(KeyChange{key, true, 0}); };
        const auto keys = [](std::initializer_list<std::uint16_t> codes) {
            std::vector<Event> events;
            for (const std::uint16_t code : codes)
                events.push_back(KeyChange{code, true, 0});
            return events;
        };
        portal->setState(State::Granted);
        press(1);
        QCOMPARE(opened, 0);
        portal->setState(State::Locked); // opened at once: the compositor takes a moment to see it
        QCOMPARE(opened, 1);
        QCOMPARE(shown.state(), State::Shielded);
        press(2);
        front->active = false; // a user switch: nothing goes below the desktop into their session
        Q_EMIT front->activeChanged(false);
        QCOMPARE(shown.state(), State::Locked);
        press(3);
        front->active = true;
        Q_EMIT front->activeChanged(true);
        portal->setState(State::Awaiting); // unlocked: the desktop asks its user again
        press(4);
        portal->setState(State::Granted);
        press(5);
        portal->setState(State::Locked);
        press(6);
        portal->setState(State::Refused); // the user's no
        press(7);
        QCOMPARE(shown.state(), State::Refused);
        QCOMPARE(primary->events, keys({1, 3, 5, 7}));
        QCOMPARE(fallback->events, keys({2, 4, 6}));
        QCOMPARE(opened, 1);

        // Where uinput is not allowed, the views say that only its owner can let input past the shield.
        InputAccess without;
        ShieldFallbackSink refused(
            [&](InputAccess& access) {
                portal = &access;
                return std::make_unique<TestSink>();
            },
            [](InputAccess&, QString*) { return std::unique_ptr<EventSink>(); }, std::make_unique<Session>(),
            without);
        portal->setState(State::Locked);
        QCOMPARE(without.state(), State::LockedOut);
        portal->setState(State::Granted);
        QCOMPARE(without.state(), State::Granted);
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

    // A window that never fetches: a text of many pasted runs costs one wait, not one per run. What
    // a connection left queued ends with it.
    void queue_aTextNobodyFetchesWaitsOnce_anEndedOriginsInputGoes()
    {
        ControllerFixture f(std::make_unique<UsKeymap>());
        std::vector<Event>& events = f.events();
        InputController& controller = f.controller;
        f.clipboard->reportsFetch = true;
        const auto from = [&](quint64 origin, const auto& ask) {
            const InputController::Origin asking(&controller, origin);
            ask();
        };
        from(1, [&] { controller.typeText(u"a你"_s.repeated(20)); });
        from(2, [&] { controller.pressKey(KEY_ENTER); });
        QTRY_VERIFY_WITH_TIMEOUT(!events.empty() && events.back() == keyStroke(KEY_ENTER).back(),
                                 2 * InputController::pasteWaitMs);
        QCOMPARE(std::count(events.begin(), events.end(), Event{clipboard("你")}), 20);

        events.clear();
        from(3, [&] { controller.typeText(u"你"_s); });
        from(3, [&] { controller.pressKey(KEY_B); });
        from(4, [&] { controller.pressKey(KEY_C); });
        spinEventLoop(20);
        from(3, [&] { controller.typeText(u"b你b"_s); });
        controller.forget(3);
        QCOMPARE(controller.queuedOperations(), 1);
        f.clipboard->fetch();
        QTRY_COMPARE_WITH_TIMEOUT(
            events, std::vector{clipboard("你")} + keyStroke(KEY_V, Control) + keyStroke(KEY_C), 1000);
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
