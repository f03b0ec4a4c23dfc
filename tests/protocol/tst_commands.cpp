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
        QTest::newRow("move") << QByteArray("MOVE:10,-5") << QByteArray("ACK_MOVE")
                              << V{moved(110, 95, 10, -5, 10, -5)};
        QTest::newRow("move fractions") << QByteArray("MOVE:0.5,0.25") << QByteArray("ACK_MOVE")
                                        << V{moved(100.5, 100.25, 0, 0, 0.5, 0.25)};
        QTest::newRow("move double comma")
            << QByteArray("MOVE:1,,2") << QByteArray("ACK_MOVE") << V{moved(101, 102, 1, 2, 1, 2)};
        QTest::newRow("move outer commas")
            << QByteArray("MOVE:,1,2,") << QByteArray("ACK_MOVE") << V{moved(101, 102, 1, 2, 1, 2)};
        QTest::newRow("move hex, exponent, sign")
            << QByteArray("MOVE:0x10,+1e1") << QByteArray("ACK_MOVE") << V{moved(116, 110, 16, 10, 16, 10)};
        QTest::newRow("move inf acknowledged, not posted")
            << QByteArray("MOVE:inf,0") << QByteArray("ACK_MOVE") << V{};
        QTest::newRow("move 1e400") << QByteArray("MOVE:1e400,0") << QByteArray("ACK_MOVE") << V{};
        QTest::newRow("move NAN any case") << QByteArray("MOVE:NaN,1") << QByteArray("ACK_MOVE") << V{};
        QTest::newRow("move one number") << QByteArray("MOVE:1") << QByteArray() << V{};
        QTest::newRow("move three numbers") << QByteArray("MOVE:1,2,3") << QByteArray() << V{};
        QTest::newRow("move leading space") << QByteArray("MOVE: 1,2") << QByteArray() << V{};
        QTest::newRow("move trailing line feed") << QByteArray("MOVE:1,2\n") << QByteArray() << V{};
        QTest::newRow("move letters") << QByteArray("MOVE:a,b") << QByteArray() << V{};
        QTest::newRow("move decimal comma") << QByteArray("MOVE:1,5,2") << QByteArray() << V{};
        QTest::newRow("two moves in one read")
            << QByteArray("MOVE:1,2MOVE:3,4") << QByteArray("ACK_MOVEACK_MOVE")
            << V{moved(101, 102, 1, 2, 1, 2), moved(104, 106, 3, 4, 3, 4)};
        QTest::newRow("drag") << QByteArray("DRAG:3,4") << QByteArray("ACK_DRAG")
                              << V{moved(103, 104, 3, 4, 3, 4, LeftMouseDragged)};
        QTest::newRow("drag one number") << QByteArray("DRAG:3") << QByteArray() << V{};
        QTest::newRow("mouse down") << QByteArray("MOUSE_DOWN") << QByteArray("ACK_MOUSE_DOWN")
                                    << V{press(LeftMouseDown)};
        QTest::newRow("mouse up") << QByteArray("MOUSE_UP") << QByteArray("ACK_MOUSE_UP")
                                  << V{press(LeftMouseUp)};
        QTest::newRow("mouse down and space") << QByteArray("MOUSE_DOWN ") << QByteArray() << V{};
        QTest::newRow("mouse down lower case") << QByteArray("mouse_down") << QByteArray() << V{};
        QTest::newRow("scroll") << QByteArray("SCROLL:0,10") << QByteArray() << V{ScrollEvent{0, 12, 0, 0}};
        QTest::newRow("scroll bad") << QByteArray("SCROLL:x,1") << QByteArray() << V{};
        QTest::newRow("magnify") << QByteArray("MAGNIFY:1.5") << QByteArray() << V{};
        QTest::newRow("magnify bad") << QByteArray("MAGNIFY:abc") << QByteArray() << V{};
        QTest::newRow("click left") << QByteArray("CLICK:LEFT") << QByteArray("ACK_CLICK")
                                    << V{press(LeftMouseDown), press(LeftMouseUp)};
        QTest::newRow("click right") << QByteArray("CLICK:RIGHT") << QByteArray("ACK_CLICK")
                                     << V{press(RightMouseDown, RightButton),
                                          press(RightMouseUp, RightButton)};
        QTest::newRow("click double") << QByteArray("CLICK:DOUBLE") << QByteArray("ACK_DOUBLE_CLICK")
                                      << V{press(LeftMouseDown), press(LeftMouseUp),
                                           press(LeftMouseDown, 0, 2), press(LeftMouseUp, 0, 2)};
        QTest::newRow("click middle") << QByteArray("CLICK:MIDDLE") << QByteArray() << V{};
        QTest::newRow("click lower case") << QByteArray("CLICK:left") << QByteArray() << V{};
        QTest::newRow("click empty") << QByteArray("CLICK:") << QByteArray() << V{};
        QTest::newRow("volume up") << QByteArray("VOLUME:UP") << QByteArray()
                                   << V{SystemEvent{8, 0xa00, -1, 0xa00}, SystemEvent{8, 0xb00, -1, 0xb00}};
        QTest::newRow("volume down") << QByteArray("VOLUME:DOWN") << QByteArray()
                                     << V{SystemEvent{8, 0x10a00, -1, 0xa00},
                                          SystemEvent{8, 0x10b00, -1, 0xb00}};
        QTest::newRow("volume mute") << QByteArray("VOLUME:MUTE") << QByteArray()
                                     << V{SystemEvent{8, 0x70a00, -1, 0xa00},
                                          SystemEvent{8, 0x70b00, -1, 0xb00}};
        QTest::newRow("volume lower case") << QByteArray("VOLUME:up") << QByteArray() << V{};
        QTest::newRow("key enter") << QByteArray("KEY:ENTER") << QByteArray("ACK_KEY") << keyStroke(36);
        QTest::newRow("key up arrow") << QByteArray("KEY:UP") << QByteArray("ACK_KEY") << keyStroke(126);
        QTest::newRow("key command alone")
            << QByteArray("KEY:COMMAND") << QByteArray("ACK_KEY") << keyStroke(55);
        QTest::newRow("key paste") << QByteArray("KEY:PASTE") << QByteArray("ACK_KEY")
                                   << keyStroke(9, flagCommand);
        QTest::newRow("key unknown") << QByteArray("KEY:F13") << QByteArray("ACK_KEY") << V{};
        QTest::newRow("key lower case") << QByteArray("KEY:enter") << QByteArray("ACK_KEY") << V{};
        QTest::newRow("key empty") << QByteArray("KEY:") << QByteArray("ACK_KEY") << V{};
        QTest::newRow("type bad base64") << QByteArray("TYPE:@@@@") << QByteArray() << V{};
        QTest::newRow("type unpadded") << QByteArray("TYPE:aGVsbG8") << QByteArray() << V{};
        QTest::newRow("type with line feed") << QByteArray("TYPE:aGk=\n") << QByteArray() << V{};
        QTest::newRow("type not UTF-8") << QByteArray("TYPE://79") << QByteArray() << V{};
        QTest::newRow("unknown keyword") << QByteArray("JUMP:1,2") << QByteArray() << V{};
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
