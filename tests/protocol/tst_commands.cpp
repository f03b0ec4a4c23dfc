// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/InputController.h"
#include "support/LoopbackClient.h"
#include "support/ServerFixture.h"
#include "support/TestSink.h"

#include <QTest>

using namespace quillmote;
using namespace quillmote::input;
using namespace quillmote::test;

namespace {
// A paired client of a server whose input goes to a test sink. The controller outlives the
// server that uses it.
struct PairedClient
{
    PairedClient()
        : sink(new TestSink), controller(std::unique_ptr<EventSink>(sink)),
          fixture(0, &std::chrono::steady_clock::now, &controller)
    {
        fixture.server->start();
        client = std::make_unique<LoopbackClient>(fixture.port());
    }
    bool pair()
    {
        return client->exchange("PAIR:" + fixture.server->pairingCode().toUtf8()).startsWith("PAIR_");
    }

    TestSink* sink;
    InputController controller;
    ServerFixture fixture;
    std::unique_ptr<LoopbackClient> client;
};

MouseEvent moved(double x, double y, std::int64_t dx, std::int64_t dy, double fdx, double fdy,
                 int type = MouseMoved)
{
    return MouseEvent{type, {x, y}, LeftButton, 0, dx, dy, fdx, fdy};
}
MouseEvent press(int type, int button = LeftButton, std::int64_t clicks = 1)
{
    return MouseEvent{type, {100, 100}, button, clicks, 0, 0, 0, 0};
}
// Sends a message and gathers replies until `size` bytes came or nothing more arrives.
QByteArray receiveAll(LoopbackClient& client, const QByteArray& message, qsizetype size)
{
    client.send(message);
    QByteArray replies;
    while (replies.size() < size) {
        const QByteArray more = client.receive(2000);
        if (more.isEmpty())
            break;
        replies += more;
    }
    return replies;
}
} // namespace

Q_DECLARE_METATYPE(std::vector<quillmote::input::Event>)

class CommandsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rows_replyAndEvents_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<std::vector<Event>>("events");
        using V = std::vector<Event>;
        const V none;
        const V click = {press(LeftMouseDown), press(LeftMouseUp)};
        const std::tuple<const char*, const char*, V> rows[] = {
            {"MOVE:10,-5", "ACK_MOVE", {moved(110, 95, 10, -5, 10, -5)}},
            {"MOVE:0.5,0.25", "ACK_MOVE", {moved(100.5, 100.25, 0, 0, 0.5, 0.25)}},
            {"MOVE:,1,,2,", "ACK_MOVE", {moved(101, 102, 1, 2, 1, 2)}}, // empty pieces are skipped
            {"MOVE:0x10,+1e1", "ACK_MOVE", {moved(116, 110, 16, 10, 16, 10)}},
            {"MOVE:inf,0", "ACK_MOVE", none}, // acknowledged, not posted
            {"MOVE:NaN,1", "ACK_MOVE", none},
            {"MOVE:1", "", none},
            {"MOVE:1,2,3", "", none},
            {"MOVE: 1,2", "", none},
            {"MOVE:1,2\n", "", none},
            {"MOVE:a,b", "", none},
            {"MOVE:1,2MOVE:3,4",
             "ACK_MOVEACK_MOVE",
             {moved(101, 102, 1, 2, 1, 2), moved(104, 106, 3, 4, 3, 4)}},
            {"DRAG:3,4", "ACK_DRAG", {moved(103, 104, 3, 4, 3, 4, LeftMouseDragged)}},
            {"DRAG:3", "", none},
            {"MOUSE_DOWN", "ACK_MOUSE_DOWN", {press(LeftMouseDown)}},
            {"MOUSE_UP", "ACK_MOUSE_UP", {press(LeftMouseUp)}},
            {"MOUSE_DOWN ", "", none},
            {"SCROLL:0,10", "", {ScrollEvent{0, 12, 0, 0}}},
            {"SCROLL:x,1", "", none},
            {"MAGNIFY:1.5", "", none},
            {"CLICK:LEFT", "ACK_CLICK", click},
            {"CLICK:RIGHT",
             "ACK_CLICK",
             {press(RightMouseDown, RightButton), press(RightMouseUp, RightButton)}},
            {"CLICK:DOUBLE",
             "ACK_DOUBLE_CLICK",
             {press(LeftMouseDown), press(LeftMouseUp), press(LeftMouseDown, 0, 2),
              press(LeftMouseUp, 0, 2)}},
            {"CLICK:left", "", none},
            {"VOLUME:UP", "", {SystemEvent{8, 0xa00, -1, 0xa00}, SystemEvent{8, 0xb00, -1, 0xb00}}},
            {"VOLUME:DOWN", "", {SystemEvent{8, 0x10a00, -1, 0xa00}, SystemEvent{8, 0x10b00, -1, 0xb00}}},
            {"VOLUME:MUTE", "", {SystemEvent{8, 0x70a00, -1, 0xa00}, SystemEvent{8, 0x70b00, -1, 0xb00}}},
            {"VOLUME:up", "", none},
            {"KEY:ENTER", "ACK_KEY", keyStroke(36)},
            {"KEY:ESC", "ACK_KEY", keyStroke(53)},
            {"KEY:UP", "ACK_KEY", keyStroke(126)},
            {"KEY:COMMAND", "ACK_KEY", keyStroke(55)},
            {"KEY:PASTE", "ACK_KEY", keyStroke(9, flagCommand)},
            {"KEY:F13", "ACK_KEY", none},
            {"KEY:enter", "ACK_KEY", none},
            {"TYPE:@@@@", "", none},
            {"TYPE:aGVsbG8", "", none}, // unpadded
            {"TYPE:aGk=\n", "", none},
            {"TYPE://79", "", none}, // not UTF-8
            {"JUMP:1,2", "", none},
        };
        for (const auto& [message, reply, events] : rows)
            QTest::newRow(message) << QByteArray(message) << QByteArray(reply) << events;
    }
    void rows_replyAndEvents()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, reply);
        QFETCH(std::vector<Event>, events);
        PairedClient c;
        c.client->send(message);
        QVERIFY(c.client->staysSilent(100)); // nothing before pairing: the gate
        QVERIFY(c.sink->events.empty());
        QVERIFY(c.pair());
        if (reply.isEmpty())
            QVERIFY(c.client->staysSilent(100) && c.client->exchange(message, 150).isEmpty());
        else
            QCOMPARE(receiveAll(*c.client, message, reply.size()), reply);
        spinEventLoop(10);
        QCOMPARE(c.sink->events, events);
    }

    void mergedReads_eachCommandAsIfAlone_data()
    {
        QTest::addColumn<QByteArray>("merged");
        QTest::addColumn<QList<QByteArray>>("alone");
        using L = QList<QByteArray>;
        QTest::newRow("key then move") << QByteArray("KEY:ENTERMOVE:1,0") << L{"KEY:ENTER", "MOVE:1,0"};
        // The paste of TYPE follows on a later turn of the event loop, so it comes last here.
        QTest::newRow("every kind") << QByteArray(
                                           "MOVE:1,0DRAG:2,1MOUSE_DOWNMOUSE_UPSCROLL:0,10MAGNIFY:1CLICK:"
                                           "LEFTVOLUME:MUTEKEY:LEFTCLICK:DOUBLETYPE:aGk=")
                                    << L{"MOVE:1,0",    "DRAG:2,1",     "MOUSE_DOWN", "MOUSE_UP",
                                         "SCROLL:0,10", "MAGNIFY:1",    "CLICK:LEFT", "VOLUME:MUTE",
                                         "KEY:LEFT",    "CLICK:DOUBLE", "TYPE:aGk="};
        QTest::newRow("text before the first command")
            << QByteArray("xyzMOVE:1,0KEY:ENTER") << L{"xyz", "MOVE:1,0", "KEY:ENTER"};
        QTest::newRow("line feed spoils only its own command")
            << QByteArray("MOVE:1,2\nMOVE:3,4") << L{"MOVE:1,2\n", "MOVE:3,4"};
        QTest::newRow("free text takes the rest")
            << QByteArray("MOVE:1,0CMD:OPEN:APP:MOVE:5,5") << L{"MOVE:1,0", "CMD:OPEN:APP:MOVE:5,5"};
        QTest::newRow("pairing again takes the rest")
            << QByteArray("KEY:UPPAIR:000000MOVE:5,5") << L{"KEY:UP", "PAIR:000000MOVE:5,5"};
        QTest::newRow("a hundred moves") << QByteArray("MOVE:1,1").repeated(100) << L(100, "MOVE:1,1");
    }
    void mergedReads_eachCommandAsIfAlone()
    {
        QFETCH(QByteArray, merged);
        QFETCH(QList<QByteArray>, alone);
        PairedClient one;
        QVERIFY(one.pair());
        QByteArray replies;
        for (const QByteArray& piece : alone)
            replies += one.client->exchange(piece, 50);
        spinEventLoop(10);

        PairedClient together;
        if (!merged.contains("PAIR:")) {
            together.client->send(merged);
            QVERIFY(together.client->staysSilent(100)); // the gate holds for every piece
            QVERIFY(together.sink->events.empty());
        }
        QVERIFY(together.pair());
        QCOMPARE(receiveAll(*together.client, merged, replies.size()), replies);
        spinEventLoop(10);
        QCOMPARE(together.sink->events, one.sink->events);
    }

    void type_inputAfterAPasteWaitsUntilTheTextWasFetched()
    {
        PairedClient c;
        c.sink->reportsFetch = true;
        QVERIFY(c.pair());
        const auto paste = keyStroke(9, flagCommand);
        QCOMPARE(c.client->exchange("TYPE:YWJj"), QByteArray("ACK_TYPE")); // the reply is not held up
        for (const char* key : {"KEY:LEFT", "KEY:LEFT", "KEY:SPACE"})
            QCOMPARE(c.client->exchange(key), QByteArray("ACK_KEY"));
        QCOMPARE(c.client->exchange("TYPE:ZGVm"), QByteArray("ACK_TYPE"));
        spinEventLoop(50);
        QCOMPARE(c.sink->events, paste);
        QCOMPARE(c.sink->clipboard, QStringList{QStringLiteral("abc")}); // not replaced before it was fetched
        c.sink->fetchPaste();
        std::vector<Event> expected = paste;
        for (const auto& keys : {keyStroke(123), keyStroke(123), keyStroke(49), paste})
            expected.insert(expected.end(), keys.begin(), keys.end());
        QTRY_COMPARE_WITH_TIMEOUT(c.sink->events, expected, 1000);
        QCOMPARE(c.sink->clipboard, (QStringList{QStringLiteral("abc"), QStringLiteral("def")}));

        // Nobody fetches the second text: the rest goes on after a bounded wait.
        QCOMPARE(c.client->exchange("KEY:ENTER"), QByteArray("ACK_KEY"));
        QCOMPARE(c.sink->events.size(), expected.size());
        const auto enter = keyStroke(36);
        expected.insert(expected.end(), enter.begin(), enter.end());
        QTRY_COMPARE_WITH_TIMEOUT(c.sink->events, expected, 1000);

        // A text that cannot be placed is not pasted: the chord would paste the old one.
        c.sink->clipboardWorks = false;
        QCOMPARE(c.client->exchange("TYPE:eHl6"), QByteArray("ACK_TYPE"));
        QCOMPARE(c.client->exchange("KEY:ENTER"), QByteArray("ACK_KEY"));
        expected.insert(expected.end(), enter.begin(), enter.end());
        QTRY_COMPARE_WITH_TIMEOUT(c.sink->events, expected, 1000);
    }

    void paste_inATerminal_usesShiftInsertAndBothSelections()
    {
        PairedClient c;
        QVERIFY(c.pair());
        const auto shiftInsert = keyStroke(114, flagShift);
        for (const char* terminal : {"xfce4-terminal", "gnome-terminal-server", "st-256color", "XTerm"}) {
            c.sink->events.clear();
            c.sink->windowClass = QString::fromLatin1(terminal);
            QCOMPARE(c.client->exchange("TYPE:bHM="), QByteArray("ACK_TYPE"));
            QCOMPARE(c.client->exchange("KEY:PASTE"), QByteArray("ACK_KEY"));
            std::vector<Event> expected = shiftInsert;
            expected.insert(expected.end(), shiftInsert.begin(), shiftInsert.end());
            QTRY_COMPARE_WITH_TIMEOUT(c.sink->events, expected, 1000);
            QCOMPARE(c.sink->primary.constLast(), QStringLiteral("ls"));
        }
        // Anything else, or a window the sink cannot name, gets Control+V.
        for (const std::optional<QString>& other :
             {std::optional<QString>(QStringLiteral("mousepad")),
              std::optional<QString>(QStringLiteral("stalonetray")), std::optional<QString>()}) {
            c.sink->events.clear();
            c.sink->windowClass = other;
            QCOMPARE(c.client->exchange("KEY:PASTE"), QByteArray("ACK_KEY"));
            QTRY_COMPARE_WITH_TIMEOUT(c.sink->events, keyStroke(9, flagCommand), 1000);
        }
    }
};

QTEST_GUILESS_MAIN(CommandsTest)
#include "tst_commands.moc"
