// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/HostIdentity.h"

#include <QTest>

using namespace quillmote::host;

namespace {
QByteArray mac(std::initializer_list<unsigned char> bytes)
{
    QByteArray out;
    for (unsigned char b : bytes)
        out.append(static_cast<char>(b));
    return out;
}
InterfaceRecord iface(const char* name, bool up, QByteArray address, bool loopback = false)
{
    return InterfaceRecord{QString::fromLatin1(name), up, loopback, std::move(address)};
}
const QByteArray a = mac({0x0a, 0x01, 0x02, 0x03, 0x04, 0x05});
const QByteArray b = mac({0xbb, 0xcc, 0x0d, 0x0e, 0x0f, 0x00});
const QByteArray c = mac({0x02, 0x00, 0x00, 0x00, 0x00, 0xc0});
} // namespace

class HostIdentityTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void chooseLinkLayerAddress_rules_data()
    {
        QTest::addColumn<std::vector<InterfaceRecord>>("interfaces");
        QTest::addColumn<QString>("defaultRoute");
        QTest::addColumn<QString>("expected");
        QTest::newRow("en0 wins even when down")
            << std::vector{iface("eth0", true, b), iface("en0", false, a)} << QStringLiteral("eth0")
            << QStringLiteral("0a:01:02:03:04:05");
        QTest::newRow("en0 without 6 bytes falls through")
            << std::vector{iface("en0", true, QByteArray(8, '\1')), iface("wlan0", true, b)}
            << QStringLiteral("wlan0") << QStringLiteral("bb:cc:0d:0e:0f:00");
        QTest::newRow("default route interface")
            << std::vector{iface("aaa", true, c), iface("wlan0", true, b)} << QStringLiteral("wlan0")
            << QStringLiteral("bb:cc:0d:0e:0f:00");
        QTest::newRow("route without 6 bytes: first up by name")
            << std::vector{iface("tun0", true, QByteArray()), iface("zz", true, b), iface("eth1", true, c)}
            << QStringLiteral("tun0") << QStringLiteral("02:00:00:00:00:c0");
        QTest::newRow("down and loopback are skipped")
            << std::vector{iface("lo", true, a, true), iface("eth0", false, b), iface("eth9", true, c)}
            << QString() << QStringLiteral("02:00:00:00:00:c0");
        QTest::newRow("nothing qualifies")
            << std::vector{iface("lo", true, a, true), iface("eth0", false, b)} << QString() << QString();
    }
    void chooseLinkLayerAddress_rules()
    {
        QFETCH(std::vector<InterfaceRecord>, interfaces);
        QFETCH(QString, defaultRoute);
        QFETCH(QString, expected);
        QCOMPARE(chooseLinkLayerAddress(interfaces, defaultRoute), expected);
    }

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
