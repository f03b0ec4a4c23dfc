// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QLocale>

class QCoreApplication;

namespace quillmote {

// Installs the program's translation for the locale's languages when one ships with it, and
// says whether it did. Without one the texts stay their Chinese keys.
bool installTranslation(QCoreApplication& app, const QLocale& locale);

} // namespace quillmote
