// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/CommandLine.h"

#include <QTest>

using namespace quillmote;

class CommandLineTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_accepted_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("headless");
        QTest::addColumn<QString>("input");
        QTest::newRow("nothing") << QStringList{} << false << QStringLiteral("auto");
        QTest::newRow("headless none")
            << QStringList{"--headless", "--input", "none"} << true << QStringLiteral("none");
        QTest::newRow("equals form") << QStringList{"--input=none", "--headless"} << true
                                     << QStringLiteral("none");
    }
    void parse_accepted()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, headless);
        QFETCH(QString, input);
        const CommandLineResult result = parseCommandLine(arguments);
        QVERIFY2(result.commandLine, qPrintable(result.error));
        QCOMPARE(result.commandLine->headless, headless);
        QCOMPARE(result.commandLine->input, input);
    }

    void parse_rejected_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--fast"};
        QTest::newRow("input without value") << QStringList{"--input"};
        QTest::newRow("unknown backend") << QStringList{"--input", "wayland"};
    }
    void parse_rejected()
    {
        QFETCH(QStringList, arguments);
        const CommandLineResult result = parseCommandLine(arguments);
        QVERIFY(!result.commandLine);
        QVERIFY(!result.error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
