// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/Translations.h"

#include <QCoreApplication>
#include <QTranslator>

namespace quillmote {

bool installTranslation(QCoreApplication& app, const QLocale& locale)
{
    auto* translator = new QTranslator(&app);
    // Tries each of the locale's languages in turn, with and without region: en_GB finds en.
    if (!translator->load(locale, QStringLiteral("quillmote"), QStringLiteral("_"),
                          QStringLiteral(":/i18n"))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace quillmote
