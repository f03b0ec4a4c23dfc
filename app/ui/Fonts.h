// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QFont>

// Text styles by role, derived from the desktop's own font so that they follow its size.
namespace quillmote::ui::fonts {

QFont title();    // the largest heading
QFont title2();   // symbols next to headings
QFont headline(); // emphasised body text
QFont body();
QFont subheadline();
QFont caption();
QFont caption2();
// The pairing code: digits of one width, at the given pixel size.
QFont code(int pixelSize);

} // namespace quillmote::ui::fonts
