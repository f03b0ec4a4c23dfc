// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "actions/AppCatalogue.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace quillmote::actions {

struct AppSearchResult
{
    QString name;
    QString path;
    friend bool operator==(const AppSearchResult&, const AppSearchResult&) = default;
};

// Case-insensitive containment under the user's locale: how every name is matched here.
bool localizedCaseInsensitiveContains(const QString& text, const QString& term);

// Finds installed applications by part of their name: first in the desktop's catalogue, one
// pass per search term, then in the application folders. The catalogue's names and ids are
// folded once per snapshot of it, not once per search.
class ApplicationSearch
{
public:
    static constexpr int searchResultLimit = 15;

    ApplicationSearch(AppCatalogue& catalogue, QStringList folders, QString bundleExtension);

    std::vector<AppSearchResult> searchApplications(const QString& query);
    // The query, then the English name of every Chinese application name it contains.
    static QStringList expandSearchTerms(const QString& query);
    std::vector<AppSearchResult> scanApplicationFolders(const QStringList& terms) const;

private:
    struct Folded
    {
        QString name;
        QString id;
    };
    QString fold(const QString& text) const { return m_locale.toLower(text); }
    const std::vector<Folded>& foldedCatalogue(const AppCatalogue::Snapshot& snapshot);

    AppCatalogue& m_catalogue;
    // One locale for all folding: constructing one per name costs more than the match.
    QLocale m_locale;
    AppCatalogue::Snapshot m_foldedSnapshot;
    std::vector<Folded> m_folded;
    QStringList m_folders;
    QString m_bundleExtension;
};

} // namespace quillmote::actions
