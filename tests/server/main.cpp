// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include <QCoreApplication>
#include <QTest>

QObject* makeHostIdentityTest();
QObject* makeServerTest();

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (QObject* test : {makeHostIdentityTest(), makeServerTest()}) {
        failed += QTest::qExec(test, argc, argv);
        delete test;
    }
    return failed == 0 ? 0 : 1;
}
