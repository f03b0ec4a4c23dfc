// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "web/HttpRequest.h"

#include <QString>

namespace quillmote::web {

namespace {
const char* reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 421:
        return "Misdirected Request";
    default:
        return "Bad Request";
    }
}

// Splits "name:port", "[v6]:port" or a bare name into its lower-case name and port text.
std::pair<QByteArray, QByteArray> splitHost(const QByteArray& host)
{
    const QByteArray lower = host.toLower();
    if (lower.startsWith('[')) {
        const qsizetype close = lower.indexOf(']');
        if (close < 0)
            return {};
        const QByteArray rest = lower.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(':'))
            return {};
        return {lower.mid(1, close - 1), rest.mid(1)};
    }
    const qsizetype colon = lower.indexOf(':');
    if (colon < 0)
        return {lower, {}};
    return {lower.left(colon), lower.mid(colon + 1)};
}

bool isThisComputer(const QByteArray& host, const QStringList& names, quint16 port)
{
    const auto [name, portText] = splitHost(host);
    if (name.isEmpty())
        return false;
    // Browsers leave the port out only when it is HTTP's own.
    const bool portMatches = portText.isEmpty() ? port == 80 : portText == QByteArray::number(port);
    return portMatches && names.contains(QString::fromLatin1(name));
}
} // namespace

QByteArray RequestHead::header(QByteArrayView name) const
{
    for (const auto& [key, value] : headers) {
        if (key == name)
            return value.isNull() ? QByteArray("") : value;
    }
    return {};
}

std::optional<RequestHead> parseHead(QByteArrayView bytes)
{
    const QList<QByteArray> lines = QByteArray(bytes.data(), bytes.size()).split('\n');
    if (lines.isEmpty())
        return std::nullopt;
    RequestHead head;
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3 || requestLine[0].isEmpty() || !requestLine[2].startsWith("HTTP/1."))
        return std::nullopt;
    head.method = requestLine[0];
    head.target = requestLine[1];
    head.version = requestLine[2];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return std::nullopt;
        head.headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
    return head;
}

Verdict checkRequest(const RequestHead& head, const QStringList& names, quint16 port,
                     const QList<QByteArray>& files)
{
    if (head.method != "GET")
        return {Verdict::Kind::Refuse, 405, {}, {}};
    const QByteArray host = head.header("host");
    if (host.isNull() || !isThisComputer(host, names, port))
        return {Verdict::Kind::Refuse, 421, {}, {}};
    QByteArray path = head.target;
    if (const qsizetype query = path.indexOf('?'); query >= 0)
        path.truncate(query);
    const bool upgrade = head.header("upgrade").toLower() == "websocket";
    if (upgrade ? path != "/ws" : !files.contains(path))
        return {Verdict::Kind::Refuse, 404, {}, host};
    if (!upgrade)
        return {Verdict::Kind::File, 200, path, host};
    if (head.header("origin") != "http://" + host)
        return {Verdict::Kind::Refuse, 403, {}, host};
    return {Verdict::Kind::Upgrade, 101, path, host};
}

QByteArray response(int status, const QByteArray& host, QByteArrayView contentType, const QByteArray& body)
{
    // The WebSocket's address is named only once the Host is known to be this computer.
    const QByteArray connectSources = host.isEmpty() ? QByteArray("'self'") : "'self' ws://" + host;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    out += "Content-Type: " + contentType.toByteArray() + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Content-Security-Policy: default-src 'self'; connect-src " + connectSources +
           "; frame-ancestors 'none'\r\n";
    out += "X-Content-Type-Options: nosniff\r\nReferrer-Policy: no-referrer\r\nCache-Control: no-store\r\n";
    if (status == 405)
        out += "Allow: GET\r\n";
    out += "Connection: close\r\n\r\n";
    return out + body;
}

} // namespace quillmote::web
