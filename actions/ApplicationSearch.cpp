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

bool matchesAny(const QStringList& terms, const QString& name)
{
    return std::any_of(terms.begin(), terms.end(),
                       [&](const QString& term) { return localizedCaseInsensitiveContains(name, term); });
}
} // namespace

bool localizedCaseInsensitiveContains(const QString& text, const QString& term)
{
    const QLocale locale;
    return locale.toLower(text).contains(locale.toLower(term));
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
    std::set<QString> seenPaths;

    const std::vector<AppCatalogue::Entry> catalogue = m_catalogue.applications();
    for (const QString& term : terms) {
        for (const AppCatalogue::Entry& entry : catalogue) {
            if (!localizedCaseInsensitiveContains(entry.name, term) &&
                !localizedCaseInsensitiveContains(entry.id, term))
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
            if (matchesAny(terms, name))
                results.push_back({name, entry.filePath()});
        }
    }
    return results;
}

} // namespace quillmote::actions
