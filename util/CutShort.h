// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QStringView>

namespace quillmote {

// Whether text is a word cut short: what the word begins with, but not all of it ("KEY:ENT" of
// "KEY:ENTER"). The empty text begins every word.
template <typename Word>
bool isCutShort(QStringView text, Word word, Qt::CaseSensitivity sensitivity = Qt::CaseSensitive)
{
    return text.size() < word.size() && word.startsWith(text, sensitivity);
}

} // namespace quillmote
