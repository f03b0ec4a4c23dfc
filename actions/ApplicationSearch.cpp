// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "actions/ApplicationSearch.h"

#include "actions/AppCatalogue.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
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

// Paths of the system's own helpers, never offered as applications.
bool isExcludedPath(const QString& path)
{
    return path.contains(QLatin1String("/System/Library")) ||
           path.contains(QLatin1String("/Library/CoreServices"));
}

// Lower case under the user's locale: both sides of every match are folded this way.
QString fold(const QString& text)
{
    return QLocale().toLower(text);
}

QStringList fold(const QStringList& texts)
{
    QStringList folded;
    folded.reserve(texts.size());
    for (const QString& text : texts)
        folded << fold(text);
    return folded;
}

bool matchesAny(const QStringList& foldedTerms, const QString& foldedName)
{
    return std::any_of(foldedTerms.begin(), foldedTerms.end(),
                       [&](const QString& term) { return foldedName.contains(term); });
}
} // namespace

bool localizedCaseInsensitiveContains(const QString& text, const QString& term)
{
    return fold(text).contains(fold(term));
}

ApplicationSearch::ApplicationSearch(AppCatalogue& catalogue, QStringList folders, QString bundleExtension)
    : m_catalogue(catalogue), m_folders(std::move(folders)), m_bundleExtension(std::move(bundleExtension))
{
}

QStringList ApplicationSearch::expandSearchTerms(const QString& query)
{
    QStringList terms{query};
    for (const Alias& alias : appNameAliases) {
        if (localizedCaseInsensitiveContains(query, alias.chinese.toString()))
            terms << alias.english.toString();
    }
    return terms;
}

std::vector<AppSearchResult> ApplicationSearch::searchApplications(const QString& query)
{
    std::vector<AppSearchResult> results;
    if (query.isEmpty())
        return results;
    const QStringList terms = expandSearchTerms(query);
    const QStringList foldedTerms = fold(terms);
    std::set<QString> seenPaths;

    // Each name and id is folded once per search, not once per term: the search holds the
    // event loop.
    const std::vector<AppCatalogue::Entry> catalogue = m_catalogue.applications();
    std::vector<std::pair<QString, QString>> folded;
    folded.reserve(catalogue.size());
    for (const AppCatalogue::Entry& entry : catalogue)
        folded.emplace_back(fold(entry.name), fold(entry.id));

    for (const QString& term : foldedTerms) {
        for (size_t i = 0; i < catalogue.size(); ++i) {
            const AppCatalogue::Entry& entry = catalogue[i];
            if (!folded[i].first.contains(term) && !folded[i].second.contains(term))
                continue;
            if (isExcludedPath(entry.path) || seenPaths.count(entry.path))
                continue;
            results.push_back({entry.name, entry.path});
            seenPaths.insert(entry.path);
        }
    }

    for (AppSearchResult& found : scanApplicationFolders(terms)) {
        if (seenPaths.insert(found.path).second)
            results.push_back(std::move(found));
    }
    if (results.size() > searchResultLimit)
        results.resize(searchResultLimit);
    return results;
}

std::vector<AppSearchResult> ApplicationSearch::scanApplicationFolders(const QStringList& terms) const
{
    const QStringList foldedTerms = fold(terms);
    std::vector<AppSearchResult> results;
    for (const QString& folder : m_folders) {
        const QDir dir(folder);
        if (!QFileInfo(folder).isDir())
            continue;
        const QFileInfoList entries = dir.entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& entry : entries) {
            if (entry.suffix() != m_bundleExtension)
                continue;
            const QString name = entry.completeBaseName();
            if (matchesAny(foldedTerms, fold(name)))
                results.push_back({name, entry.filePath()});
        }
    }
    return results;
}

} // namespace quillmote::actions
