// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/HostIdentity.h"

#include <QFile>

#include <algorithm>
#include <ifaddrs.h>
#include <limits>
#include <linux/if_packet.h>
#include <memory>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillmote::host {

namespace {
constexpr qsizetype addressLength = 6;

struct IfaddrsDeleter
{
    void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};

QString unquote(QByteArray value)
{
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        const char quote = value.front();
        value = value.mid(1, value.size() - 2);
        if (quote == '"') {
            QByteArray plain;
            for (qsizetype i = 0; i < value.size(); ++i) {
                if (value[i] == '\\' && i + 1 < value.size())
                    ++i;
                plain += value[i];
            }
            value = plain;
        }
    }
    return QString::fromUtf8(value);
}
} // namespace

QString formatLinkLayerAddress(const QByteArray& bytes)
{
    if (bytes.size() != addressLength)
        return {};
    QStringList pairs;
    for (const char byte : bytes)
        pairs << QStringLiteral("%1").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0'));
    return pairs.join(QLatin1Char(':'));
}

QString chooseLinkLayerAddress(const std::vector<InterfaceRecord>& interfaces,
                               const QString& defaultRouteInterface)
{
    const auto usable = [](const InterfaceRecord& r) { return r.hardwareAddress.size() == addressLength; };
    for (const InterfaceRecord& r : interfaces) {
        if (r.name == QLatin1String("en0") && usable(r))
            return formatLinkLayerAddress(r.hardwareAddress);
    }
    if (!defaultRouteInterface.isEmpty()) {
        for (const InterfaceRecord& r : interfaces) {
            if (r.name == defaultRouteInterface && usable(r))
                return formatLinkLayerAddress(r.hardwareAddress);
        }
    }
    const InterfaceRecord* first = nullptr;
    for (const InterfaceRecord& r : interfaces) {
        if (r.up && !r.loopback && usable(r) && (!first || r.name < first->name))
            first = &r;
    }
    return first ? formatLinkLayerAddress(first->hardwareAddress) : QString();
}

std::vector<InterfaceRecord> readInterfaces()
{
    std::vector<InterfaceRecord> records;
    ifaddrs* raw = nullptr;
    if (::getifaddrs(&raw) != 0)
        return records;
    const std::unique_ptr<ifaddrs, IfaddrsDeleter> list(raw);
    for (const ifaddrs* entry = list.get(); entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET || !entry->ifa_name)
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        InterfaceRecord record;
        record.name = QString::fromLocal8Bit(entry->ifa_name);
        record.up = entry->ifa_flags & IFF_UP;
        record.loopback = entry->ifa_flags & IFF_LOOPBACK;
        const auto length = std::min<qsizetype>(link->sll_halen, sizeof link->sll_addr);
        record.hardwareAddress = QByteArray(reinterpret_cast<const char*>(link->sll_addr), length);
        records.push_back(std::move(record));
    }
    return records;
}

QString defaultRouteInterface(const QByteArray& procNetRoute)
{
    constexpr unsigned routeUp = 0x1;
    QString best;
    qulonglong bestMetric = std::numeric_limits<qulonglong>::max();
    const QList<QByteArray> lines = procNetRoute.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) { // the first line names the columns
        const QList<QByteArray> f = lines[i].simplified().split(' ');
        if (f.size() < 8)
            continue;
        bool ok = false;
        const unsigned flags = f[3].toUInt(&ok, 16);
        const qulonglong metric = f[6].toULongLong();
        if (!ok || f[1] != "00000000" || f[7] != "00000000" || !(flags & routeUp))
            continue;
        if (best.isEmpty() || metric < bestMetric) {
            best = QString::fromLocal8Bit(f[0]);
            bestMetric = metric;
        }
    }
    return best;
}

QString linkLayerAddress()
{
    QByteArray routes;
    QFile file(QStringLiteral("/proc/net/route"));
    if (file.open(QIODevice::ReadOnly))
        routes = file.readAll();
    return chooseLinkLayerAddress(readInterfaces(), defaultRouteInterface(routes));
}

QString computerName(const QByteArray& machineInfo, const QString& hostName)
{
    QString pretty;
    for (const QByteArray& line : machineInfo.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith("PRETTY_HOSTNAME="))
            pretty = unquote(trimmed.mid(int(sizeof "PRETTY_HOSTNAME=") - 1)).trimmed();
    }
    if (!pretty.isEmpty())
        return pretty;
    if (!hostName.trimmed().isEmpty())
        return hostName.trimmed();
    return QString::fromUtf8(fallbackComputerName);
}

QString localComputerName()
{
    QByteArray machineInfo;
    QFile file(QStringLiteral("/etc/machine-info"));
    if (file.open(QIODevice::ReadOnly))
        machineInfo = file.readAll();
    char buffer[256] = {};
    QString hostName;
    if (::gethostname(buffer, sizeof buffer - 1) == 0)
        hostName = QString::fromLocal8Bit(buffer);
    return computerName(machineInfo, hostName);
}

} // namespace quillmote::host
