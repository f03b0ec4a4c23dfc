// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

namespace quillmote::settings {

// The settings file holds the pairing code, so only its owner may read it: makes its folder
// 0700 and the file 0600, creating both when missing (QSettings keeps an existing file's mode
// when it rewrites it). Returns true when an existing folder or file had wider modes.
bool makePrivate(const QString& path);

} // namespace quillmote::settings
