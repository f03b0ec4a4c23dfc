// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "actions/ApplicationSearch.h"

#include "actions/AppCatalogue.h"

#include <QFile>
#include <QLocale>
#include <QStringMatcher>

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <set>

namespace quillmote::actions {

namespace {
struct Alias
{
    QStringView chinese;
    QStringView english;
};

// Walked in this order, so alias terms follow the query in this order.
constexpr Alias appNameAliases[] = {
    {u"音乐", u"Music"},      {u"网易", u"Netease"},  {u"照片", u"Photos"},       {u"设置", u"Settings"},
    {u"访达", u"Finder"},     {u"日历", u"Calendar"}, {u"计算器", u"Calculator"}, {u"地图", u"Maps"},
    {u"邮件", u"Mail"},       {u"信息", u"Messages"}, {u"笔记", u"Notes"},        {u"备忘录", u"Notes"},
    {u"通讯录", u"Contacts"}, {u"系统", u"System"},   {u"商店", u"App Store"},    {u"终端", u"Terminal"},
    {u"活动", u"Activity"},
};

// Whether term occurs in text where a word begins, looking from the occurrence at from on.
bool startsWord(QStringView text, const QString& term, qsizetype from)
{
    for (; from >= 0; from = text.indexOf(term, from + 1)) {
        if (from == 0 || !text[from - 1].isLetterOrNumber())
            return true;
    }
    return false;
}

bool matchesAny(const QStringList& foldedTerms, const QString& foldedName)
{
    return std::any_of(foldedTerms.begin(), foldedTerms.end(),
                       [&](const QString& term) { return foldedName.contains(term); });
}
} // namespace

ApplicationSearch::ApplicationSearch(AppCatalogue& catalogue, QStringList folders, QString bundleExtension)
    : m_catalogue(catalogue), m_folders(std::move(folders)), m_bundleExtension(std::move(bundleExtension))
{
}

QStringList ApplicationSearch::expandSearchTerms(const QString& query)
{
    const QLocale locale;
    QStringList terms{query};
    const QString foldedQuery = locale.toLower(query);
    // Chinese has no case: the alias table is matched as it stands.
    for (const Alias& alias : appNameAliases) {
        if (foldedQuery.contains(alias.chinese))
            terms << alias.english.toString();
    }
    return terms;
}

void AppCatalogue::fold(Entry& entry)
{
    // One locale for all folding: constructing one per name costs more than the match.
    static thread_local const QLocale locale;
    const QString name = locale.toLower(entry.name);
    const QString id = locale.toLower(entry.id);
    entry.foldedNameEnd = name.size();
    entry.foldedIdEnd = name.size() + 1 + id.size();
    entry.folded =
        name + QLatin1Char('\n') + id + QLatin1Char('\n') +
        locale.toLower(entry.genericName + QLatin1Char('\n') + entry.keywords.join(QLatin1Char('\n')));
}

ApplicationSearch::Match ApplicationSearch::match(const AppCatalogue::Entry& entry, const QString& term)
{
    const QStringView name = entry.foldedName();
    const QStringView other = entry.foldedOther();
    const qsizetype at = name.indexOf(term);
    if (at == 0)
        return name.size() == term.size() ? Match::WholeName : Match::NameStart;
    // "edit" asks for an editor as much as for a name with "edit" in it.
    if ((at > 0 && startsWord(name, term, at)) || startsWord(other, term, other.indexOf(term)))
        return Match::WordStart;
    if (at > 0)
        return Match::InName;
    if (entry.foldedId().contains(term) || other.contains(term))
        return Match::Elsewhere;
    return Match::None;
}

std::vector<std::pair<ApplicationSearch::Rank, std::size_t>>
ApplicationSearch::ranked(const std::vector<AppCatalogue::Entry>& entries, const QStringList& terms) const
{
    // A matcher per term: most entries hold no term, and it finds that fastest.
    std::vector<std::pair<QString, QStringMatcher>> foldedTerms;
    for (const QString& term : terms) {
        const QString foldedTerm = fold(term);
        foldedTerms.emplace_back(foldedTerm, QStringMatcher(foldedTerm));
    }
    std::vector<std::pair<Rank, std::size_t>> found;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Match best = Match::None;
        for (const auto& [term, matcher] : foldedTerms) {
            if (matcher.indexIn(entries[i].folded) >= 0)
                best = std::min(best, match(entries[i], term));
        }
        if (best != Match::None)
            found.emplace_back(Rank{best, entries[i].settingsPanel}, i);
    }
    // Stable: equally good matches keep the catalogue's alphabetical order.
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return found;
}

std::vector<AppSearchResult> ApplicationSearch::searchApplications(const QString& query)
{
    std::vector<AppSearchResult> results;
    if (query.isEmpty())
        return results;
    const QStringList terms = expandSearchTerms(query);
    std::set<QString> seenPaths;

    const AppCatalogue::Snapshot catalogue = m_catalogue.applications();
    for (const auto& [rank, index] : ranked(*catalogue, terms)) {
        const AppCatalogue::Entry& entry = (*catalogue)[index];
        if (!seenPaths.insert(entry.path).second)
            continue;
        results.push_back({entry.name, entry.path});
        // The limit applies to the whole list, catalogue matches first.
        if (results.size() >= searchResultLimit)
            return results;
    }

    for (AppSearchResult& found : scanApplicationFolders(terms)) {
        if (seenPaths.insert(found.path).second)
            results.push_back(std::move(found));
    }
    if (results.size() > searchResultLimit)
        results.resize(searchResultLimit);
    return results;
}

std::vector<AppCatalogue::Entry> ApplicationSearch::bestMatches(const QString& name, std::size_t limit)
{
    std::vector<AppCatalogue::Entry> best;
    if (name.isEmpty())
        return best;
    const AppCatalogue::Snapshot catalogue = m_catalogue.applications();
    const auto found = ranked(*catalogue, {name});
    for (std::size_t i = 0;
         i < found.size() && best.size() < limit && found[i].first.match == found[0].first.match; ++i)
        best.push_back((*catalogue)[found[i].second]);
    return best;
}

std::vector<AppSearchResult> ApplicationSearch::scanApplicationFolders(const QStringList& terms) const
{
    QStringList foldedTerms;
    for (const QString& term : terms)
        foldedTerms << fold(term);
    std::vector<AppSearchResult> results;
    for (const QString& folder : m_folders) {
        // readdir rather than QDir: every search lists these folders, and only names matter.
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(QFile::encodeName(folder).constData()),
                                                      &::closedir);
        if (!dir)
            continue;
        QStringList files;
        while (const dirent* entry = ::readdir(dir.get())) {
            const QString file = QFile::decodeName(entry->d_name);
            const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
            if (dot >= 0 && QStringView(file).mid(dot + 1) == m_bundleExtension &&
                file != QLatin1String(".."))
                files << file;
        }
        files.sort();
        for (const QString& file : std::as_const(files)) {
            const QString name = file.left(file.lastIndexOf(QLatin1Char('.')));
            if (matchesAny(foldedTerms, fold(name)))
                results.push_back({name, folder + QLatin1Char('/') + file});
        }
    }
    return results;
}

} // namespace quillmote::actions
