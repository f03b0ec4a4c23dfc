// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "web/QrCode.h"

#include <qrencode.h>

#include <memory>

namespace quillmote::web {

QrCode QrCode::encode(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    QrCode out;
    if (!code)
        return out;
    out.m_size = code->width;
    out.m_modules.resize(static_cast<size_t>(code->width) * static_cast<size_t>(code->width));
    for (size_t i = 0; i < out.m_modules.size(); ++i)
        out.m_modules[i] = (code->data[i] & 1) != 0;
    return out;
}

QString QrCode::halfBlocks(int quiet) const
{
    if (isEmpty())
        return {};
    const int total = m_size + 2 * quiet;
    const auto isDark = [&](int x, int y) {
        x -= quiet;
        y -= quiet;
        return x >= 0 && y >= 0 && x < m_size && y < m_size && dark(x, y);
    };
    // A full block where both modules of the pair are light, a half block where one is.
    QString out;
    for (int y = 0; y < total; y += 2) {
        for (int x = 0; x < total; ++x) {
            const bool top = !isDark(x, y);
            const bool bottom = y + 1 < total ? !isDark(x, y + 1) : false;
            out += top && bottom ? QChar(0x2588) : top ? QChar(0x2580) : bottom ? QChar(0x2584) : QChar(u' ');
        }
        out += u'\n';
    }
    return out;
}

} // namespace quillmote::web
