// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

namespace quillmote {

// The settings file of this user: the pairing code and whether onboarding was completed.
QString settingsFilePath();

} // namespace quillmote
