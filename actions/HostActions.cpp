// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "actions/HostActions.h"

#include "actions/AppCatalogue.h"
#include "actions/UserActivity.h"
#include "input/InputController.h"
#include "server/Console.h"

#include <QFileInfo>
#include <QLocale>
#include <QTimer>

namespace quillmote::actions {

HostActions::HostActions(Dependencies dependencies)
    : m_input(dependencies.input), m_profile(std::move(dependencies.profile)),
      m_catalogue(dependencies.catalogue), m_userActivity(dependencies.userActivity),
      m_runner(std::move(dependencies.runner)),
      m_search(m_catalogue, m_profile.applicationFolders, m_profile.bundleExtension)
{
}

void HostActions::perform(const SystemAction& action)
{
    if (const auto* chord = std::get_if<KeyChord>(&action))
        m_input.pressKey(chord->keyCode, chord->flags);
    else if (const auto* tool = std::get_if<ToolCommand>(&action))
        runCommand(tool->program, tool->arguments);
}

void HostActions::runCommand(const QString& path, const QStringList& arguments)
{
    m_runner(path, arguments);
}

void HostActions::openApplication(const QString& target)
{
    switch (m_profile.openStyle) {
    case OpenStyle::OpenerTool:
        if (target.startsWith(QLatin1Char('/')))
            runCommand(m_profile.opener, {target});
        else
            runCommand(m_profile.opener, {QStringLiteral("-a"), target});
        return;
    case OpenStyle::DesktopEntries:
        openDesktopTarget(target);
        return;
    }
}

void HostActions::openDesktopTarget(const QString& target)
{
    if (target.startsWith(QLatin1Char('/'))) {
        const QFileInfo file(target);
        if (target.endsWith(QLatin1String(".desktop"))) {
            launchEntry(target);
        } else if (file.suffix() == m_profile.bundleExtension && file.isFile() && file.isExecutable()) {
            runCommand(target, {});
        } else {
            runCommand(m_profile.opener, {target});
        }
        return;
    }
    // A name must equal an entry's name or id; anything looser could start the wrong program.
    const QLocale locale;
    const QString wanted = locale.toLower(target);
    for (const AppCatalogue::Entry& entry : m_catalogue.applications()) {
        if (locale.toLower(entry.name) == wanted || locale.toLower(entry.id) == wanted) {
            launchEntry(entry.path);
            return;
        }
    }
    console::line(QStringLiteral("No application named ") + target);
}

void HostActions::launchEntry(const QString& path)
{
    if (const std::optional<QString> error = m_catalogue.launch(path))
        reportFailedStart(path, *error);
}

void HostActions::openUrl(const QString& address)
{
    // Only web addresses; other schemes (file:, smb:, custom handlers) are dropped on purpose.
    if (address.startsWith(QLatin1String("http")) || address.startsWith(QLatin1String("www")))
        runCommand(m_profile.opener, {address});
}

std::vector<AppSearchResult> HostActions::searchApplications(const QString& query)
{
    return m_search.searchApplications(query);
}

void HostActions::wakeDisplay()
{
    m_userActivity.declareUserActivity(QStringLiteral("User Wake Requested"));
    runCommand(m_profile.userActivity.program, m_profile.userActivity.arguments);
    QTimer::singleShot(wakeNudgeDelayMs, this, &HostActions::nudgePointer);
}

void HostActions::nudgePointer()
{
    m_input.movePointer(nudgeDistance, 0);
    QTimer::singleShot(nudgeReturnDelayMs, this, [this] { m_input.movePointer(-nudgeDistance, 0); });
}

} // namespace quillmote::actions
