// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "actions/AppCatalogue.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

namespace quillmote::actions {

struct AppSearchResult
{
    QString name;
    QString path;
    friend bool operator==(const AppSearchResult&, const AppSearchResult&) = default;
};

// Finds installed applications by part of their name: first in the desktop's catalogue, one
// pass per search term, then in the application folders. The catalogue comes folded.
class ApplicationSearch
{
public:
    static constexpr int searchResultLimit = 15;

    ApplicationSearch(AppCatalogue& catalogue, QStringList folders, QString bundleExtension);

    // Results ranked by how well they match: the whole name, the start of the name, the start
    // of a word of it, of the generic name or of a keyword, anywhere in the name, then
    // anywhere in the id, the generic name or a keyword. Among equally good matches the
    // applications come before settings panels, then the catalogue's order.
    std::vector<AppSearchResult> searchApplications(const QString& query);
    // The entries that match a name best, at most limit of them, settings panels or not: the
    // name means the entry only when it alone matches that well.
    std::vector<AppCatalogue::Entry> bestMatches(const QString& name, std::size_t limit);
    // The query, then the English name of every Chinese application name it contains.
    static QStringList expandSearchTerms(const QString& query);
    std::vector<AppSearchResult> scanApplicationFolders(const QStringList& terms) const;

private:
    // How well a term matches, best first.
    enum class Match { WholeName, NameStart, WordStart, InName, Elsewhere, None };
    static Match match(const AppCatalogue::Entry& entry, const QString& foldedTerm);
    struct Rank
    {
        Match match;
        bool settingsPanel;
        friend auto operator<=>(const Rank&, const Rank&) = default;
    };
    // Catalogue entries that match any term, best first, ties in catalogue (alphabetical) order.
    std::vector<std::pair<Rank, std::size_t>> ranked(const std::vector<AppCatalogue::Entry>& entries,
                                                     const QStringList& terms) const;
    QString fold(const QString& text) const { return m_locale.toLower(text); }

    AppCatalogue& m_catalogue;
    // One locale for all folding: constructing one per name costs more than the match.
    QLocale m_locale;
    QStringList m_folders;
    QString m_bundleExtension;
};

} // namespace quillmote::actions
