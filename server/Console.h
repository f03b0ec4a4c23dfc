// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

namespace quillmote::console {

// One line on standard output, flushed at once: client authors and scripts follow the
// headless output live, and console lines are never translated.
void line(const QString& text);

} // namespace quillmote::console
