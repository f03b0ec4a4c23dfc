// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/Translations.h"

#include <QCoreApplication>
#include <QTranslator>

namespace quillmote {

bool prefersChinese()
{
    QString language = qEnvironmentVariable("LANGUAGE").section(QLatin1Char(':'), 0, 0);
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (!language.isEmpty())
            break;
        language = qEnvironmentVariable(variable);
    }
    return language.startsWith(QLatin1String("zh"));
}

bool installTranslation(QCoreApplication& app, bool chinese)
{
    if (chinese)
        return false;
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral(":/i18n/quillmote_en.qm"))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace quillmote
