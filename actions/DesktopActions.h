// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "actions/ApplicationSearch.h"
#include "actions/CommandRunner.h"
#include "actions/DesktopProfile.h"

#include <QObject>

#include <vector>

namespace quillmote::input {
class InputController;
} // namespace quillmote::input

namespace quillmote::actions {

class AppCatalogue;
class UserActivity;

// What the remote can do to the desktop besides pointer and keyboard input: named system
// actions, opening applications and web addresses, application search, and waking the
// display. Each action starts its work and returns; nothing reports back to the caller.
class DesktopActions : public QObject
{
    Q_OBJECT
public:
    static constexpr int wakeNudgeDelayMs = 500;
    static constexpr int nudgeReturnDelayMs = 100;
    static constexpr double nudgeDistance = 2.0;

    struct Dependencies
    {
        // Also the window manager, through its backend's (none where nobody answers, as on Wayland).
        input::InputController& input;
        DesktopProfile profile;
        AppCatalogue& catalogue;
        UserActivity& userActivity;
        CommandRunner runner = &actions::runCommand;
    };

    explicit DesktopActions(Dependencies dependencies);

    const DesktopProfile& profile() const { return m_profile; }

    void perform(const SystemAction& action);
    // "DOCK": shows the desktop, or the windows again.
    void showDesktop();
    // "CLOSE_WINDOW": the focused window's close chord (a terminal has its own).
    void closeWindow();
    void runCommand(const QString& path, const QStringList& arguments);
    // A name, or an absolute path (one that starts with "/").
    void openApplication(const QString& target);
    void openUrl(const QString& address);
    std::vector<AppSearchResult> searchApplications(const QString& query);

    // "SCREENSAVER", "DISPLAY_SLEEP": the desktop's screen saver, its shield announced to the input.
    void startScreenSaver();
    // Returns at once; the pointer nudge follows on the event loop.
    void wakeDisplay();
    void nudgePointer();

private:
    bool isApplicationFile(const QString& canonicalPath) const;
    void openApplicationFile(const QString& target);
    void openApplicationNamed(const QString& target);
    static void refuseOpen(const QString& target, const QString& reason);
    void launchEntry(const QString& path);

    input::InputController& m_input;
    DesktopProfile m_profile;
    AppCatalogue& m_catalogue;
    UserActivity& m_userActivity;
    CommandRunner m_runner;
    ApplicationSearch m_search;
};

} // namespace quillmote::actions
