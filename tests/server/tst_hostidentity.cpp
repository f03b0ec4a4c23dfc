// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/HostIdentity.h"

#include <QTest>

using namespace quillmote::host;

// Which interface gives the address is tested on real interfaces in namespaces.
class HostIdentityTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void defaultRouteInterface_procText_lowestMetricUpRoute()
    {
        const QByteArray routes =
            "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
            "wlan0\t00000000\t0100A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
            "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
            "down0\t00000000\t0101A8C0\t0000\t0\t0\t1\t00000000\t0\t0\t0\n"
            "eth0\t0000A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
        QCOMPARE(defaultRouteInterface(routes), QStringLiteral("eth0"));
        QCOMPARE(defaultRouteInterface(routes.left(routes.indexOf('\n') + 1)), QString());
    }

    void computerName_sources_data()
    {
        QTest::addColumn<QByteArray>("machineInfo");
        QTest::addColumn<QString>("hostName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pretty quoted")
            << QByteArray("CHASSIS=laptop\nPRETTY_HOSTNAME=\"Ada's \\\"Book\\\"\"\n")
            << QStringLiteral("ada-book") << QStringLiteral("Ada's \"Book\"");
        QTest::newRow("pretty plain utf-8")
            << QByteArray("PRETTY_HOSTNAME=书房电脑\n") << QStringLiteral("h") << QStringLiteral("书房电脑");
        QTest::newRow("pretty empty: host name") << QByteArray("PRETTY_HOSTNAME=\"\"\n")
                                                 << QStringLiteral("ada-book") << QStringLiteral("ada-book");
        QTest::newRow("nothing: fallback")
            << QByteArray() << QString() << QStringLiteral("Dod Evuded Azirid");
    }
    void computerName_sources()
    {
        QFETCH(QByteArray, machineInfo);
        QFETCH(QString, hostName);
        QFETCH(QString, expected);
        QCOMPARE(computerName(machineInfo, hostName), expected);
    }
};

QTEST_GUILESS_MAIN(HostIdentityTest)

#include "tst_hostidentity.moc"
