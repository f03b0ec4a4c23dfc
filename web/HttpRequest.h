// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringList>

#include <optional>
#include <utility>

namespace quillmote::web {

// The head of one HTTP/1.1 request, as far as the browser remote reads it.
struct RequestHead
{
    QByteArray method;
    QByteArray target;
    QByteArray version;
    QList<std::pair<QByteArray, QByteArray>> headers; // names in lower case, values trimmed

    // The value of the first header of that (lower-case) name; null when absent.
    QByteArray header(QByteArrayView name) const;
};

// A head ends at the first empty line; more than this is refused by closing the connection.
inline constexpr qsizetype maxHeadBytes = 8 * 1024;

// Parses a head (the bytes up to and including "\r\n\r\n"); empty when it is not HTTP/1.x.
std::optional<RequestHead> parseHead(QByteArrayView bytes);

// What to do with a request, after the checks in their fixed order: the method, the Host (a
// page of another site that a rebinding DNS name points here must not reach us), the path, and
// for the WebSocket the Origin (another page in the phone's browser must not drive the desktop).
struct Verdict
{
    enum class Kind { File, Upgrade, Refuse };
    Kind kind = Kind::Refuse;
    int status = 400;
    // The embedded file for Kind::File ("/" is the page itself).
    QByteArray path;
    // The Host value, once it was found to be this computer; empty before.
    QByteArray host;
};

// `names` are what this computer may be called: its addresses (IPv6 without brackets), the host
// name, HOSTNAME.local and localhost, in lower case; `port` is the web port; `files` the paths
// of the embedded files.
Verdict checkRequest(const RequestHead& head, const QStringList& names, quint16 port,
                     const QList<QByteArray>& files);

// A complete answer, with the headers every answer carries and Connection: close.
QByteArray response(int status, const QByteArray& host, QByteArrayView contentType, const QByteArray& body);

} // namespace quillmote::web
