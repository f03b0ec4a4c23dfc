// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "protocol/Arguments.h"

#include "util/CutShort.h"

#include <QList>
#include <QStringDecoder>

#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace quillmote::protocol {

namespace {
bool isCSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

locale_t cLocale()
{
    // The user's locale may use a decimal comma; the protocol never does.
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", nullptr);
    return locale;
}

bool isBase64Character(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+' ||
           c == u'/';
}
} // namespace

std::optional<double> toNumber(QStringView piece)
{
    if (piece.isEmpty() || isCSpace(piece.front()))
        return std::nullopt;
    // Every literal strtod takes is ASCII; a piece that is not cannot convert. Copied to the
    // stack, since this runs for every move.
    char bytes[128];
    if (piece.size() >= qsizetype(sizeof bytes))
        return std::nullopt;
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const char16_t c = piece[i].unicode();
        if (c >= 0x80)
            return std::nullopt;
        bytes[i] = static_cast<char>(c);
    }
    bytes[piece.size()] = '\0';
    char* end = nullptr;
    const double value = ::strtod_l(bytes, &end, cLocale());
    // An embedded NUL stops strtod early, so it fails here as leftover text.
    if (end == bytes || end != bytes + piece.size())
        return std::nullopt;
    return value;
}

std::optional<std::pair<double, double>> toNumberPair(QStringView rest)
{
    QStringView pieces[2];
    int count = 0;
    for (qsizetype start = 0; start <= rest.size();) {
        qsizetype comma = rest.indexOf(u',', start);
        if (comma < 0)
            comma = rest.size();
        if (comma > start) {
            if (count == 2)
                return std::nullopt;
            pieces[count++] = rest.mid(start, comma - start);
        }
        start = comma + 1;
    }
    if (count != 2)
        return std::nullopt;
    const std::optional<double> dx = toNumber(pieces[0]);
    const std::optional<double> dy = toNumber(pieces[1]);
    if (!dx || !dy)
        return std::nullopt;
    return std::pair{*dx, *dy};
}

std::optional<QByteArray> decodeBase64(QStringView text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    qsizetype padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == u'=')
        ++padding;
    for (qsizetype i = 0; i < text.size() - padding; ++i) {
        if (!isBase64Character(text[i]))
            return std::nullopt;
    }
    const auto result =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return *result;
}

std::optional<QString> decodeUtf8(const QByteArray& bytes)
{
    // Stateless: a character cut at the end of the read is an error, not something to wait for.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

qsizetype unfinishedCharacter(const QByteArray& bytes)
{
    for (qsizetype back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xc0) == 0x80)
            continue; // a continuation byte: its lead is further back
        const qsizetype length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

bool beginsNumber(QStringView piece)
{
    if (toNumber(piece.toString() + u'0'))
        return true; // "", "-", "1e", "1e+", "0x", "." and any number that may have more digits
    for (const QStringView word : {u"infinity", u"nan"}) {
        if (isCutShort(piece, word, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool beginsNumberPair(QStringView rest)
{
    QList<QStringView> pieces;
    for (const QStringView piece : rest.split(u',', Qt::SkipEmptyParts))
        pieces << piece;
    if (pieces.isEmpty())
        return true;
    if (pieces.size() == 1)
        return toNumber(pieces[0]) || beginsNumber(pieces[0]); // the comma and dy are to come
    return pieces.size() == 2 && toNumber(pieces[0]) && !toNumber(pieces[1]) && beginsNumber(pieces[1]);
}

bool beginsText(QStringView base64)
{
    if (const std::optional<QByteArray> bytes = decodeBase64(base64)) {
        const qsizetype cut = unfinishedCharacter(*bytes);
        return cut > 0 && !decodeUtf8(*bytes) && decodeUtf8(bytes->chopped(cut));
    }
    for (const QStringView rest : {u"A", u"AA", u"AAA", u"=", u"=="}) {
        if (decodeBase64(base64.toString().append(rest)))
            return true;
    }
    return false;
}

} // namespace quillmote::protocol
