// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace quillmote::actions {

class AppCatalogue;

struct AppSearchResult
{
    QString name;
    QString path;
    friend bool operator==(const AppSearchResult&, const AppSearchResult&) = default;
};

// Case-insensitive containment under the user's locale: how every name is matched here.
bool localizedCaseInsensitiveContains(const QString& text, const QString& term);

// Finds installed applications by part of their name: first in the desktop's catalogue, one
// pass per search term, then in the application folders. Keeps nothing between searches.
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
    AppCatalogue& m_catalogue;
    QStringList m_folders;
    QString m_bundleExtension;
};

} // namespace quillmote::actions
