// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "actions/DesktopActions.h"

#include "actions/AppCatalogue.h"
#include "actions/UserActivity.h"
#include "input/InputController.h"
#include "input/WindowManager.h"
#include "util/Console.h"

#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace quillmote::actions {

DesktopActions::DesktopActions(Dependencies dependencies)
    : m_input(dependencies.input), m_profile(std::move(dependencies.profile)),
      m_catalogue(dependencies.catalogue), m_userActivity(dependencies.userActivity),
      m_runner(std::move(dependencies.runner)),
      m_search(m_catalogue, m_profile.applicationFolders, m_profile.bundleExtension)
{
}

void DesktopActions::perform(const SystemAction& action)
{
    if (const auto* chord = std::get_if<KeyChord>(&action))
        m_input.pressKey(chord->key, chord->modifiers);
    else if (const auto* tool = std::get_if<ToolCommand>(&action))
        runCommand(tool->program, tool->arguments);
    else if (const auto* missing = std::get_if<Unavailable>(&action))
        console::line(QStringLiteral("This desktop has no %1; nothing was done").arg(missing->what));
}

void DesktopActions::closeWindow()
{
    m_input.closeWindow();
}

void DesktopActions::showDesktop()
{
    // The window manager's own toggle shows the desktop and brings the windows back; the
    // desktop's chord is the fallback where it has none.
    input::WindowManager* windowManager = m_input.windowManager();
    if (!windowManager || !windowManager->toggleShowDesktop())
        perform(m_profile.showDesktop);
}

void DesktopActions::runCommand(const QString& path, const QStringList& arguments)
{
    m_runner(path, arguments);
}

void DesktopActions::openApplication(const QString& target)
{
    // Only the catalogue knows what the names and entries mean; it is read once at start.
    if (!m_catalogue.isLoaded()) {
        m_catalogue.whenLoaded([self = QPointer(this), target] {
            if (self)
                self->openApplication(target);
        });
        return;
    }
    if (target.startsWith(QLatin1Char('/')))
        openApplicationFile(target);
    else
        openApplicationNamed(target);
}

void DesktopActions::openApplicationFile(const QString& target)
{
    // Only what the user could start from the desktop: an entry the menus list, or an
    // AppImage directly inside an application folder, after following symbolic links.
    if (target.contains(QChar(0))) {
        refuseOpen(target, QStringLiteral("not a path")); // no file name holds a NUL
        return;
    }
    const QString canonical = QFileInfo(target).canonicalFilePath();
    if (canonical.isEmpty()) {
        refuseOpen(target, QStringLiteral("no such file"));
    } else if (canonical.endsWith(QLatin1String(".desktop"))) {
        const AppCatalogue::Snapshot entries = m_catalogue.applications();
        const auto listed = std::find_if(entries->begin(), entries->end(), [&canonical](const auto& entry) {
            return QFileInfo(entry.path).canonicalFilePath() == canonical;
        });
        if (listed != entries->end())
            launchEntry(listed->path);
        else
            refuseOpen(target, QStringLiteral("not an application the desktop lists"));
    } else if (isApplicationFile(canonical)) {
        runCommand(canonical, {});
    } else {
        refuseOpen(target, QStringLiteral("not an application"));
    }
}

void DesktopActions::openApplicationNamed(const QString& target)
{
    // First an entry whose name or id is the name itself.
    const QString wanted = QLocale().toLower(target);
    for (const AppCatalogue::Entry& entry : *m_catalogue.applications()) {
        if (entry.foldedName() == wanted || entry.foldedId() == wanted) {
            launchEntry(entry.path);
            return;
        }
    }
    // Else the one search result that ranks first alone ("NetSurf" for "NetSurf Web
    // Browser"); anything less sure could start the wrong program.
    constexpr std::size_t namesShown = 5;
    const std::vector<AppCatalogue::Entry> best = m_search.bestMatches(target, namesShown + 1);
    if (best.size() == 1) {
        launchEntry(best.front().path);
        return;
    }
    if (best.empty()) {
        console::line(QStringLiteral("No application named ") + target);
        return;
    }
    QStringList names;
    for (std::size_t i = 0; i < std::min(best.size(), namesShown); ++i)
        names << best[i].name;
    if (best.size() > namesShown)
        names << QStringLiteral("…");
    console::line(QStringLiteral("No application named %1; it matches %2")
                      .arg(target, names.join(QLatin1String(", "))));
}

bool DesktopActions::isApplicationFile(const QString& canonicalPath) const
{
    const QFileInfo file(canonicalPath);
    if (file.suffix() != m_profile.bundleExtension || !file.isFile() || !file.isExecutable())
        return false;
    const QString parent = file.absolutePath();
    return std::any_of(
        m_profile.applicationFolders.begin(), m_profile.applicationFolders.end(),
        [&parent](const QString& folder) { return QFileInfo(folder).canonicalFilePath() == parent; });
}

void DesktopActions::refuseOpen(const QString& target, const QString& reason)
{
    console::line(QStringLiteral("Refused to open %1: %2").arg(target, reason));
}

void DesktopActions::launchEntry(const QString& path)
{
    if (const std::optional<QString> error = m_catalogue.launch(path))
        reportFailedStart(path, *error);
}

void DesktopActions::openUrl(const QString& address)
{
    // Only web addresses, and only as web addresses: never a file path or another scheme
    // (file:, smb:, custom handlers) that the opener would act on.
    QString candidate;
    if (address.startsWith(QLatin1String("http")))
        candidate = address;
    else if (address.startsWith(QLatin1String("www")))
        candidate = QStringLiteral("https://") + address;
    const QUrl url(candidate, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (candidate.isEmpty() || !url.isValid() || url.isRelative() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        console::line(QStringLiteral("Refused to open the address ") + address);
        return;
    }
    runCommand(m_profile.opener, {url.toString(QUrl::FullyEncoded)});
}

std::vector<AppSearchResult> DesktopActions::searchApplications(const QString& query)
{
    return m_search.searchApplications(query);
}

void DesktopActions::startScreenSaver()
{
    m_input.shieldComing();
    perform(m_profile.screenSaver);
}

void DesktopActions::wakeDisplay()
{
    m_userActivity.simulateUserActivity();
    runCommand(m_profile.userActivity.program, m_profile.userActivity.arguments);
    QTimer::singleShot(wakeNudgeDelayMs, this, &DesktopActions::nudgePointer);
}

void DesktopActions::nudgePointer()
{
    m_input.movePointer(nudgeDistance, 0);
    QTimer::singleShot(nudgeReturnDelayMs, this, [this] { m_input.movePointer(-nudgeDistance, 0); });
}

} // namespace quillmote::actions
