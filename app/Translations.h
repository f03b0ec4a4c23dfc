// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

class QCoreApplication;

namespace quillmote {

// Whether the user reads Chinese: the first language of LANGUAGE, else the first of LC_ALL,
// LC_MESSAGES and LANG that is set, begins with "zh".
bool prefersChinese();

// The texts are written in Chinese; everyone else gets the English translation. Says whether
// a translation was installed.
bool installTranslation(QCoreApplication& app, bool chinese);

} // namespace quillmote
