// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/PortHolder.h"

#include <QFile>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace quillmote {

namespace {
constexpr QByteArrayView listenState = "0A";

// The uid of a listening socket on `port` in one of the kernel's tables: "sl local rem st queues
// timer retransmits uid ...", the local address ending in the port in hex.
std::optional<uid_t> listenerIn(const QString& path, quint16 port)
{
    QFile table(path);
    if (!table.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray portSuffix = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    table.readLine(); // the heading
    for (int lines = 0; lines < 1'000'000 && !table.atEnd(); ++lines) {
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        bool ok = false;
        if (fields.size() > 7 && fields[1].endsWith(portSuffix) && fields[3] == listenState) {
            const uint uid = fields[7].toUInt(&ok);
            if (ok)
                return static_cast<uid_t>(uid);
        }
    }
    return std::nullopt;
}
} // namespace

PortHolder PortHolder::of(quint16 port, const QString& procNet)
{
    for (const char* table : {"/tcp6", "/tcp"})
        if (std::optional<uid_t> uid = listenerIn(procNet + QLatin1String(table), port))
            return {uid};
    return {};
}

bool PortHolder::mayBeAnotherUser() const
{
    return !uid || *uid != ::getuid();
}

QString PortHolder::userName() const
{
    if (!uid)
        return {};
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(*uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(*uid);
}

QString PortHolder::describe() const
{
    if (!uid)
        return QStringLiteral("another program");
    const QString name = userName();
    return name == QString::number(*uid) ? QStringLiteral("uid %1").arg(name)
                                         : QStringLiteral("user %1").arg(name);
}

} // namespace quillmote
