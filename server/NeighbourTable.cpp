// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/NeighbourTable.h"

#include "util/UniqueFd.h"

#include <QStringList>

#include <array>
#include <cstring>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace quillmote {

namespace {
// The peer's address as the kernel stores it: IPv4 for IPv4-mapped IPv6 (a dual-stack listener's
// view of an IPv4 peer).
struct KernelAddress
{
    int family = AF_UNSPEC;
    std::array<unsigned char, 16> bytes{};
    std::size_t size = 0;
};

KernelAddress kernelAddress(const QHostAddress& peer)
{
    KernelAddress address;
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    if (isV4) {
        address.family = AF_INET;
        address.size = 4;
        for (std::size_t i = 0; i < 4; ++i)
            address.bytes[i] = static_cast<unsigned char>(v4 >> (24 - 8 * i));
    } else if (peer.protocol() == QAbstractSocket::IPv6Protocol) {
        address.family = AF_INET6;
        address.size = 16;
        const Q_IPV6ADDR v6 = peer.toIPv6Address();
        std::memcpy(address.bytes.data(), v6.c, 16);
    }
    return address;
}

QString formatted(const unsigned char* bytes, std::size_t size)
{
    QStringList pairs;
    for (std::size_t i = 0; i < size; ++i)
        pairs << QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0'));
    return pairs.join(u':');
}

// One neighbour message's link-layer address when its destination is `wanted`.
QString matchingEntry(const nlmsghdr* message, const KernelAddress& wanted)
{
    const auto* entry = static_cast<const ndmsg*>(NLMSG_DATA(message));
    if (entry->ndm_family != wanted.family || (entry->ndm_state & (NUD_INCOMPLETE | NUD_FAILED | NUD_NOARP)))
        return {};
    int length = static_cast<int>(message->nlmsg_len) - static_cast<int>(NLMSG_LENGTH(sizeof *entry));
    bool sameDestination = false;
    QString linkLayer;
    for (auto* attribute = reinterpret_cast<const rtattr*>(reinterpret_cast<const char*>(entry) +
                                                           NLMSG_ALIGN(sizeof *entry));
         RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        const auto* data = static_cast<const unsigned char*>(RTA_DATA(attribute));
        const std::size_t size = RTA_PAYLOAD(attribute);
        if (attribute->rta_type == NDA_DST)
            sameDestination = size == wanted.size && std::memcmp(data, wanted.bytes.data(), size) == 0;
        else if (attribute->rta_type == NDA_LLADDR && size > 0 && size <= 32)
            linkLayer = formatted(data, size);
    }
    return sameDestination ? linkLayer : QString();
}
} // namespace

QString linkLayerAddressOf(const QHostAddress& peer)
{
    const KernelAddress wanted = kernelAddress(peer);
    if (wanted.family == AF_UNSPEC || peer.isLoopback())
        return {};
    const UniqueFd socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!socket)
        return {};
    // Answered at once by the kernel; the bound only guards against the unexpected.
    const timeval limit{0, 200'000};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    struct
    {
        nlmsghdr header;
        ndmsg body;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof request.body);
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.body.ndm_family = static_cast<unsigned char>(wanted.family);
    if (::send(socket.get(), &request, request.header.nlmsg_len, 0) < 0)
        return {};
    alignas(nlmsghdr) std::array<char, 16384> buffer;
    // A dump ends with NLMSG_DONE; a table of any size arrives in a bounded number of reads.
    for (int reads = 0; reads < 1024; ++reads) {
        const ssize_t received = ::recv(socket.get(), buffer.data(), buffer.size(), 0);
        if (received <= 0)
            return {};
        int length = static_cast<int>(received);
        for (auto* message = reinterpret_cast<const nlmsghdr*>(buffer.data()); NLMSG_OK(message, length);
             message = NLMSG_NEXT(message, length)) {
            if (message->nlmsg_type == NLMSG_DONE || message->nlmsg_type == NLMSG_ERROR)
                return {};
            if (message->nlmsg_type != RTM_NEWNEIGH)
                continue;
            const QString found = matchingEntry(message, wanted);
            if (!found.isEmpty())
                return found;
        }
    }
    return {};
}

} // namespace quillmote
