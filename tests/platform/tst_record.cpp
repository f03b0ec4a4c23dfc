// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/record/QuartzEncoding.h"
#include "support/TestSink.h"

#include <QTest>

using namespace quillmote::input;
using quillmote::record::recordLine;

Q_DECLARE_METATYPE(quillmote::input::Event)

// The record format is what client authors compare against: each row is one event and the
// exact line it must give.
class RecordTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<Event>("event");
        QTest::addColumn<QByteArray>("line");
        const auto key = [](std::uint16_t code, bool down, ModifierSet modifiers, int virtualKey, int flags) {
            QTest::addRow("key %d %s flags %d", virtualKey, down ? "down" : "up", flags)
                << Event{KeyChange{code, down, modifiers}}
                << QByteArray("{\"event\":\"key\",\"keyCode\":" + QByteArray::number(virtualKey) +
                              ",\"down\":" + (down ? "true" : "false") +
                              ",\"flags\":" + QByteArray::number(flags) + "}");
        };
        key(KEY_ENTER, true, 0, 36, 0);
        key(KEY_ESC, false, 0, 53, 0);
        key(KEY_BACKSPACE, true, 0, 51, 0);
        key(KEY_SPACE, true, 0, 49, 0);
        key(KEY_TAB, true, 0, 48, 0);
        key(KEY_UP, true, 0, 126, 0);
        key(KEY_DOWN, true, 0, 125, 0);
        key(KEY_LEFT, true, 0, 123, 0);
        key(KEY_RIGHT, true, 0, 124, 0);
        key(KEY_LEFTCTRL, true, 0, 55, 0);
        key(KEY_LEFTSHIFT, true, 0, 56, 0);
        key(KEY_LEFTALT, true, 0, 58, 0);
        key(KEY_LEFTMETA, true, 0, 59, 0);
        key(KEY_V, true, Control, 9, 0x100000);
        key(KEY_W, false, Control | Shift, 13, 0x120000);
        key(KEY_D, true, Control | Alt, 2, 0x180000);
        key(KEY_D, true, Super, 2, 0x40000);
        key(KEY_INSERT, true, Shift, 114, 0x20000);
        key(KEY_F5, true, 0, 96, 0);
        key(KEY_F2, true, Alt, 120, 0x80000);
        QTest::newRow("key the model lacks") << Event{KeyChange{KEY_MICMUTE, true, 0}} << QByteArray();

        const auto system = [](std::uint16_t code, bool down, const char* data1, const char* flags) {
            QTest::addRow("media %d %s", code, down ? "down" : "up")
                << Event{MediaKey{code, down}}
                << QByteArray(QByteArray("{\"event\":\"system\",\"subtype\":8,\"data1\":") + data1 +
                              ",\"data2\":-1,\"flags\":" + flags + "}");
        };
        system(KEY_VOLUMEUP, true, "2560", "2560");
        system(KEY_VOLUMEUP, false, "2816", "2816");
        system(KEY_VOLUMEDOWN, true, "68096", "2560");
        system(KEY_MUTE, true, "461312", "2560");
        system(KEY_MUTE, false, "461568", "2816");
        system(KEY_PLAYPAUSE, true, "1051136", "2560");

        QTest::newRow("move")
            << Event{PointerMotion{{970, 535}, 10, -5, false}}
            << QByteArray("{\"event\":\"mouse\",\"type\":5,\"x\":970.0,\"y\":535.0,\"button\":0,"
                          "\"clickState\":0,\"deltaX\":10,\"deltaY\":-5,\"deltaXf\":10.0,\"deltaYf\":-5.0}");
        QTest::newRow("drag with fractions")
            << Event{PointerMotion{{970.7, 534.3}, 0.7, -1.5, true}}
            << QByteArray(
                   "{\"event\":\"mouse\",\"type\":6,\"x\":970.7,\"y\":534.3,\"button\":0,\"clickState\":0,"
                   "\"deltaX\":0,\"deltaY\":-1,\"deltaXf\":0.7,\"deltaYf\":-1.5}");
        const auto button = [](Button which, bool down, int clicks, int type, int number) {
            QTest::addRow("button type %d clicks %d", type, clicks)
                << Event{ButtonChange{which, down, clicks, {1.5, 2}}}
                << QByteArray("{\"event\":\"mouse\",\"type\":" + QByteArray::number(type) +
                              ",\"x\":1.5,\"y\":2.0,\"button\":" + QByteArray::number(number) +
                              ",\"clickState\":" + QByteArray::number(clicks) +
                              ",\"deltaX\":0,\"deltaY\":0,\"deltaXf\":0.0,\"deltaYf\":0.0}");
        };
        button(Button::Left, true, 1, 1, 0);
        button(Button::Left, false, 2, 2, 0);
        button(Button::Right, true, 1, 3, 1);
        button(Button::Right, false, 1, 4, 1);
        button(Button::Middle, true, 1, 25, 2);
        QTest::newRow("scroll")
            << Event{WheelScroll{12, -3}}
            << QByteArray("{\"event\":\"scroll\",\"unit\":0,\"wheel1\":12,\"wheel2\":-3,\"wheel3\":0}");
        QTest::newRow("clipboard escapes")
            << Event{ClipboardText{QString::fromUtf8("你好\t\"\\\x1b\n"), false}}
            << QByteArray("{\"event\":\"clipboard\",\"text\":"
                          "\"\xe4\xbd\xa0\xe5\xa5\xbd\\u0009\\\"\\\\\\u001b\\u000a\"}");
        QTest::newRow("clipboard empty")
            << Event{ClipboardText{}} << QByteArray("{\"event\":\"clipboard\",\"text\":\"\"}");
    }
    void lines()
    {
        QFETCH(Event, event);
        QFETCH(QByteArray, line);
        QCOMPARE(recordLine(event), line);
    }
};

QTEST_GUILESS_MAIN(RecordTest)
#include "tst_record.moc"
