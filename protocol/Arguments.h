// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>
#include <utility>

namespace quillmote::protocol {

// The whole piece as one C-locale floating-point literal (decimal, hexadecimal, inf, nan), as
// strtod reads it; no leading white space, nothing left over. No range check.
std::optional<double> toNumber(QStringView piece);

// Two numbers separated by commas; empty pieces are dropped, exactly two must remain.
std::optional<std::pair<double, double>> toNumberPair(QStringView rest);

// Standard base64 with its padding; anything else (white space included) fails.
std::optional<QByteArray> decodeBase64(QStringView text);

// Strict UTF-8 that keeps every character, a leading byte-order mark included.
std::optional<QString> decodeUtf8(const QByteArray& bytes);
// The bytes at the end that begin a UTF-8 character without finishing it (0 to 3).
qsizetype unfinishedCharacter(const QByteArray& bytes);

// Arguments that do not convert yet but would with more characters after them: what a read
// cut short ends with. A number ("-", "1e", "0x", "in"), a pair ("", "1", "1,", "1,-") and base64
// of UTF-8 text (a quartet, or a character, cut short).
bool beginsNumber(QStringView piece);
bool beginsNumberPair(QStringView rest);
bool beginsText(QStringView base64);

} // namespace quillmote::protocol
