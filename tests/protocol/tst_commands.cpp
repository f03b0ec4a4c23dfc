// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "actions/DesktopProfile.h"
#include "protocol/Arguments.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/InputCommands.h"
#include "util/Console.h"
#include "web/HttpRequest.h"

#include <QTest>

#include <cmath>

#include <linux/input-event-codes.h>

using namespace quillmote;
using namespace quillmote::input;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(std::optional<actions::KeyChord>)

// What comes from the wire, the browser and the desktop's settings taken apart, and what goes
// to the console escaped: each row names the piece that broke.
class CommandsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void numbers_data()
    {
        QTest::addColumn<QString>("piece");
        QTest::addColumn<std::optional<double>>("value");
        const std::pair<const char*, std::optional<double>> rows[] = {
            {"10", 10.0}, {"+1e1", 10.0}, {"-0.75", -0.75}, {"0x10", 16.0}, {"inf", INFINITY},
            {"", {}},     {" 1", {}},     {"\t1", {}},      {"1\n", {}},    {"a", {}}};
        for (const auto& [piece, value] : rows)
            QTest::addRow("\"%s\"", piece) << QString::fromLatin1(piece) << value;
        QTest::newRow("embedded NUL") << QString::fromUtf8("1\0"
                                                           "2",
                                                           3)
                                      << std::optional<double>();
    }
    void numbers()
    {
        QFETCH(QString, piece);
        QFETCH(std::optional<double>, value);
        QCOMPARE(protocol::toNumber(piece), value);
        QVERIFY(std::isnan(protocol::toNumber(u"NaN").value_or(0)));
    }

    void pairs_data()
    {
        QTest::addColumn<QString>("rest");
        QTest::addColumn<bool>("converts");
        for (const char* rest : {"1,2", ",1,,2,"})
            QTest::newRow(rest) << QString::fromLatin1(rest) << true;
        for (const char* rest : {"1", "1,2,3", "1,x", "1,2MOVE:3,4"})
            QTest::newRow(rest) << QString::fromLatin1(rest) << false;
    }
    void pairs()
    {
        QFETCH(QString, rest);
        QFETCH(bool, converts);
        const auto pair = protocol::toNumberPair(rest);
        QCOMPARE(pair.has_value(), converts);
        if (pair)
            QCOMPARE(*pair, (std::pair{1.0, 2.0}));
    }

    void text_data()
    {
        QTest::addColumn<QString>("base64");
        QTest::addColumn<std::optional<QString>>("text");
        const std::pair<const char*, std::optional<QString>> rows[] = {{"aGVsbG8=", QStringLiteral("hello")},
                                                                       {"", QString()},
                                                                       {"5L2g5aW9", QStringLiteral("你好")},
                                                                       {"aGVsbG8", {}},
                                                                       {"@@@@", {}},
                                                                       {"aGk=\n", {}},
                                                                       {"aG=k", {}},
                                                                       {"5L0=", {}} /* a cut character */,
                                                                       {"7aCA", {}} /* a surrogate */};
        for (const auto& [base64, text] : rows)
            QTest::addRow("\"%s\"", base64) << QString::fromLatin1(base64) << text;
    }
    void text()
    {
        QFETCH(QString, base64);
        QFETCH(std::optional<QString>, text);
        const std::optional<QByteArray> bytes = protocol::decodeBase64(base64);
        QCOMPARE(bytes ? protocol::decodeUtf8(*bytes) : std::nullopt, text);
    }

    void split_data()
    {
        QTest::addColumn<QString>("read");
        QTest::addColumn<QStringList>("commands");
        const auto row = [](const char* read, std::initializer_list<const char*> pieces) {
            QStringList commands;
            for (const char* piece : pieces)
                commands << QString::fromLatin1(piece);
            QTest::newRow(read) << QString::fromLatin1(read) << commands;
        };
        row("MOVE:1,2", {"MOVE:1,2"});
        row("MOVE:1,0DRAG:2,1MOUSE_DOWNMOUSE_UPSCROLL:0,10MAGNIFY:1CLICK:LEFTVOLUME:MUTEKEY:LEFTTYPE:",
            {"MOVE:1,0", "DRAG:2,1", "MOUSE_DOWN", "MOUSE_UP", "SCROLL:0,10", "MAGNIFY:1", "CLICK:LEFT",
             "VOLUME:MUTE", "KEY:LEFT", "TYPE:"});
        row("xyzMOVE:1,0", {"xyz", "MOVE:1,0"});
        row("MOVE:1,2\nMOVE:3,4", {"MOVE:1,2\n", "MOVE:3,4"});
        row("MOVE:1,0CMD:OPEN:APP:MOVE:5,5", {"MOVE:1,0", "CMD:OPEN:APP:MOVE:5,5"});
        row("KEY:UPPAIR:000000MOVE:5,5", {"KEY:UP", "PAIR:000000MOVE:5,5"});
        row("QUERY:APP:KEY:UP", {"QUERY:APP:KEY:UP"});
        row("MOVE:1,2MO", {"MOVE:1,2MO"});
    }
    void split()
    {
        QFETCH(QString, read);
        QFETCH(QStringList, commands);
        QStringList pieces;
        for (const QStringView piece : CommandDispatcher::splitCommands(read))
            pieces << piece.toString();
        QCOMPARE(pieces, commands);
    }

    // The last command of a read that waits for the rest, and those that do not.
    void unfinished()
    {
        for (const char* command : {"M",           "MOUSE_",     "QUERY:AP",      "PAIR",
                                    "CMD:",        "KEY:",       "MOVE:",         "MOVE:12",
                                    "MOVE:1,",     "MOVE:,-",    "DRAG:1,1e",     "SCROLL:0x",
                                    "SCROLL:1,IN", "MAGNIFY:-",  "TYPE:aGVsbG8",  "TYPE:YeS4rQ=",
                                    "TYPE:YeS4",   "MOVE:1,1MO", "KEY:UPMOUSE_D", "xyzQ",
                                    "KEY:ENT",     "KEY:PAGE_",  "KEY:PA",        "VOLUME:MU",
                                    "CLICK:DOU"})
            QVERIFY2(CommandDispatcher::isUnfinished(QString::fromLatin1(command)), command);
        for (const char* command :
             {"MOVE:1,2",  "MOVE:1,0xD",  "MOVE:1,2\n", "MOVE:1,2,3", "MOVE:x,1",    "MOVE:1,x",
              "MAGNIFY:1", "KEY:ESC",     "KEY:F13",    "KEY:enter",  "CLICK:RIGHT", "CLICK:left",
              "VOLUME:UP", "TYPE:",       "TYPE:QUJD",  "TYPE://79",  "MOUSE_DOWN",  "MOUSE_UP ",
              "CMD:LO",    "QUERY:APP:M", "PAIR:12",    "xyz",        "KEY:CTRL+C",  "KEY:CTRL+SHIFT+T"})
            QVERIFY2(!CommandDispatcher::isUnfinished(QString::fromLatin1(command)), command);
    }

    // GTK accelerator names as desktop settings store them.
    void accelerators_data()
    {
        QTest::addColumn<QString>("accelerator");
        QTest::addColumn<std::optional<actions::KeyChord>>("chord");
        using Chord = actions::KeyChord;
        const std::pair<const char*, Chord> rows[] = {{"<Super>d", {KEY_D, Super}},
                                                      {"<Primary><Alt>Down", {KEY_DOWN, Control | Alt}},
                                                      {"<control><SHIFT>q", {KEY_Q, Control | Shift}},
                                                      {"<Ctrl><Mod1>p", {KEY_P, Control | Alt}},
                                                      {"<Super>space", {KEY_SPACE, Super}},
                                                      {"<Alt>F10", {KEY_F10, Alt}}};
        for (const auto& [accelerator, chord] : rows)
            QTest::addRow("\"%s\"", accelerator) << QString::fromUtf8(accelerator) << std::optional(chord);
        const std::pair<const char*, std::uint16_t> keys[] = {
            {"A", KEY_A}, {"l", KEY_L},   {"m", KEY_M},     {"1", KEY_1},    {"0", KEY_0},
            {"F", KEY_F}, {"F1", KEY_F1}, {"F11", KEY_F11}, {"F12", KEY_F12}};
        for (const auto& [accelerator, key] : keys)
            QTest::addRow("\"%s\"", accelerator)
                << QString::fromUtf8(accelerator) << std::optional(Chord{key, 0});
        for (const char* accelerator :
             {"", "<Super>", "<Super d", "<>d", "<Hyper>d", "dd", "F0", "F13", "<Super>Tab", "é"})
            QTest::addRow("\"%s\"", accelerator) << QString::fromUtf8(accelerator) << std::optional<Chord>();
    }
    void accelerators()
    {
        QFETCH(QString, accelerator);
        QFETCH(std::optional<actions::KeyChord>, chord);
        QCOMPARE(actions::parseAccelerator(accelerator), chord);
    }

    // What could break, forge or reorder a console line is escaped, and nothing else (emoji are text).
    void escaped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("printed");
        const std::pair<char16_t, const char*> rows[] = {
            {0x00, "\\x00"},     {0x0a, "\\x0a"},     {0x0d, "\\x0d"},     {0x1b, "\\x1b"},
            {0x1f, "\\x1f"},     {0x20, " "},         {0x7e, "~"},         {0x7f, "\\x7f"},
            {0x85, "\\x85"},     {0x9f, "\\x9f"},     {0xa0, "\u00a0"},    {0x061c, "\\u061c"},
            {0x200d, "\u200d"},  {0x200e, "\\u200e"}, {0x200f, "\\u200f"}, {0x2028, "\\u2028"},
            {0x2029, "\\u2029"}, {0x202a, "\\u202a"}, {0x202e, "\\u202e"}, {0x202f, "\u202f"},
            {0x2065, "\u2065"},  {0x2066, "\\u2066"}, {0x2069, "\\u2069"}, {0x206a, "\u206a"}};
        for (const auto& [c, printed] : rows)
            QTest::addRow("U+%04X", c)
                << u"a"_s + QChar(c) + u"b"_s << u"a"_s + QString::fromUtf8(printed) + u"b"_s;
        QTest::newRow("outside the BMP") << u"😀"_s << u"😀"_s;
    }
    void escaped()
    {
        QFETCH(QString, text);
        QFETCH(QString, printed);
        QCOMPARE(console::escaped(text), printed);
    }

    // What was read, as "method target [host]"; "(refused)" when it is not HTTP/1.x.
    void parseHead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("read");
        const std::pair<const char*, const char*> rows[] = {
            {"GET /app.js?v=1 HTTP/1.1\r\nHost: a:1\r\n\r\n", "GET /app.js?v=1 [a:1]"},
            {"GET / HTTP/1.0\r\nHOST: \t a \t\r\n\r\n", "GET / [a]"},
            {"GET / HTTP/1.1\r\nHost:\r\n\r\n", "GET / []"},
            {"GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", "GET / [a]"},
            {"GET / HTTP/1.1\r\nAccept: */*\r\n\r\n", "GET /"},
            {"GET / HTTP/2\r\n\r\n", "(refused)"},
            {"GET /a b HTTP/1.1\r\n\r\n", "(refused)"},
            {"GET / HTTP/1.1\r\nHost a\r\n\r\n", "(refused)"},
            {"GET / HTTP/1.1\r\n: a\r\n\r\n", "(refused)"}};
        for (const auto& [bytes, read] : rows)
            QTest::newRow(QByteArray(bytes).replace("\r\n", "|").constData())
                << QByteArray(bytes) << QByteArray(read);
    }
    void parseHead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, read);
        const std::optional<web::RequestHead> head = web::parseHead(bytes);
        const QByteArray host = head ? head->header("host") : QByteArray();
        const QByteArray got = head ? head->method + ' ' + head->target : "(refused)";
        QCOMPARE(host.isNull() ? got : got + " [" + host + ']', read);
    }

    // This computer is 127.0.0.1, [::1] and localhost on port 8123, with two files. A null host is
    // left out; an origin makes the request a WebSocket upgrade, an empty one leaves it out.
    void checkRequest_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QByteArray>("origin");
        QTest::addColumn<int>("status");
        const QByteArray local = "127.0.0.1:8123", null;
        const auto row = [](const char* name, const char* request, QByteArray host, int status,
                            QByteArray origin = {}) {
            QTest::newRow(name) << QByteArray(request) << host << origin << status;
        };
        row("a file, its query left out", "GET /app.js?v=3", local, 200);
        row("the method before the host", "POST /", "evil.example", 405);
        row("no host", "GET /", null, 421);
        row("another port", "GET /", "127.0.0.1:8124", 421);
        row("a longer port", "GET /", "127.0.0.1:81230", 421);
        row("no port is port 80", "GET /", "localhost", 421);
        row("names in any case", "GET /", "LocalHost:8123", 200);
        row("IPv6 in brackets", "GET /", "[::1]:8123", 200);
        row("text after the brackets", "GET /", "[::1]x:8123", 421);
        row("a name this one begins", "GET /", "localhost.evil.example:8123", 421);
        row("an unknown file", "GET /../app.js", local, 404);
        row("the socket's path as a file", "GET /ws", local, 404);
        row("the page as a socket", "GET /", local, 404, "http://" + local);
        row("the socket", "GET /ws?x", local, 101, "http://" + local);
        row("the socket without an origin", "GET /ws", local, 403, "");
        row("the socket from another page", "GET /ws", local, 403, "http://evil.example:8123");
        row("the socket from https", "GET /ws", local, 403, "https://" + local);
    }
    void checkRequest()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, host);
        QFETCH(QByteArray, origin);
        QFETCH(int, status);
        web::RequestHead head{request.split(' ')[0], request.split(' ')[1], "HTTP/1.1", {}};
        if (!host.isNull())
            head.headers.append({"host", host});
        if (!origin.isNull())
            head.headers.append({"upgrade", QByteArray("websocket")});
        if (!origin.isEmpty())
            head.headers.append({"origin", origin});
        const QStringList names = u"127.0.0.1 ::1 localhost"_s.split(u' ');
        const web::Verdict verdict = web::checkRequest(head, names, 8123, {"/", "/app.js"});
        QCOMPARE(verdict.status, status);
        using Kind = web::Verdict::Kind;
        const Kind kind = status == 200 ? Kind::File : status == 101 ? Kind::Upgrade : Kind::Refuse;
        QCOMPARE(verdict.kind, kind);
        if (kind != Kind::Refuse)
            QCOMPARE(verdict.path, head.target.split('?').first());
        // Only a host found to be this computer may be named back in the answer's headers.
        QCOMPARE(verdict.host, status == 405 || status == 421 ? QByteArray() : host);
    }
};

QTEST_GUILESS_MAIN(CommandsTest)
#include "tst_commands.moc"
