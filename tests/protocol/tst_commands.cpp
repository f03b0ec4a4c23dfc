// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "protocol/Arguments.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/InputCommands.h"

#include <QTest>

#include <cmath>

using namespace quillmote;
using namespace quillmote::input;

Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(std::optional<QString>)

// The wire's words taken apart: each row names the piece that broke.
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
};

QTEST_GUILESS_MAIN(CommandsTest)
#include "tst_commands.moc"
