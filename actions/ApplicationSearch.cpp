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

// Paths of the system's own helpers, never offered as applications.
bool isExcludedPath(const QString& path)
{
    return path.contains(QLatin1String("/System/Library")) ||
           path.contains(QLatin1String("/Library/CoreServices"));
}

bool matchesAny(const QStringList& foldedTerms, const QString& foldedName)
{
    return std::any_of(foldedTerms.begin(), foldedTerms.end(),
                       [&](const QString& term) { return foldedName.contains(term); });
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
    const QLocale locale;
    QStringList terms{query};
    const QString foldedQuery = locale.toLower(query);
    for (const Alias& alias : appNameAliases) {
        if (foldedQuery.contains(locale.toLower(alias.chinese.toString())))
            terms << alias.english.toString();
    }
    return terms;
}

const std::vector<ApplicationSearch::Folded>&
ApplicationSearch::foldedCatalogue(const AppCatalogue::Snapshot& snapshot)
{
    if (snapshot != m_foldedSnapshot) {
        m_folded.clear();
        m_folded.reserve(snapshot ? snapshot->size() : 0);
        for (const AppCatalogue::Entry& entry : snapshot ? *snapshot : std::vector<AppCatalogue::Entry>{})
            m_folded.push_back({fold(entry.name), fold(entry.id)});
        m_foldedSnapshot = snapshot;
    }
    return m_folded;
}

std::vector<AppSearchResult> ApplicationSearch::searchApplications(const QString& query)
{
    std::vector<AppSearchResult> results;
    if (query.isEmpty())
        return results;
    const QStringList terms = expandSearchTerms(query);
    std::set<QString> seenPaths;

    const AppCatalogue::Snapshot catalogue = m_catalogue.applications();
    const std::vector<Folded>& folded = foldedCatalogue(catalogue);
    // The limit applies to the whole list, catalogue matches first: once it is reached nothing
    // later can make it into the result.
    const auto full = [&results] { return results.size() >= searchResultLimit; };
    for (const QString& term : terms) {
        const QStringMatcher matcher(fold(term));
        for (size_t i = 0; i < folded.size() && !full(); ++i) {
            if (matcher.indexIn(folded[i].name) < 0 && matcher.indexIn(folded[i].id) < 0)
                continue;
            const AppCatalogue::Entry& entry = (*catalogue)[i];
            if (isExcludedPath(entry.path) || !seenPaths.insert(entry.path).second)
                continue;
            results.push_back({entry.name, entry.path});
        }
    }
    if (full())
        return results;

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
