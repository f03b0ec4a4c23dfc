// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

#include <vector>

namespace quillmote::web {

// The modules of a QR code for a text (libqrencode, error correction level M), without the
// quiet zone; empty when the text cannot be encoded.
class QrCode
{
public:
    static QrCode encode(const QString& text);

    int size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    bool dark(int x, int y) const { return m_modules[static_cast<size_t>(y * m_size + x)]; }

    // The code for a terminal: two rows of modules per line in Unicode half blocks. Console lines
    // carry no colours, so the blocks draw the light modules in the text colour and the dark ones
    // are left to the background: right on a dark terminal (most), inverted on a light one,
    // which phone cameras read too. The quiet zone is `quiet` modules of blocks.
    QString halfBlocks(int quiet = 4) const;

private:
    int m_size = 0;
    std::vector<bool> m_modules;
};

} // namespace quillmote::web
