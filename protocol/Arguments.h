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

} // namespace quillmote::protocol
