// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/ui/ViewContext.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace quillmote::ui {

class MainView;

// The one main window. Closing it only hides it (it keeps its view state and leaves the taskbar
// until shown again); the server and the tray icon stay.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(ViewContext context);
    MainView* mainView() const { return m_view; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MainView* m_view;
};

// When the main window is shown: at launch, on a second launch, and from the tray.
class MainWindowController : public QObject
{
    Q_OBJECT
public:
    static constexpr int trayWaitMs = 5000;

    explicit MainWindowController(ViewContext context, QObject* parent = nullptr);
    ~MainWindowController() override;

    MainWindow* window() const { return m_window.get(); }

    // Shows the window and starts the server once onboarding is done. A login start (inTray)
    // keeps the window closed once onboarding is done, unless no tray appears within
    // trayWaitMs: the user must always have a way in.
    void launch(bool inTray = false);
    // Another launch while this one runs: show the window, or bring it forward.
    void reopen();
    // Creates the window once, then shows it, raised and active.
    void showWindow();

private:
    ViewContext m_context;
    std::unique_ptr<MainWindow> m_window;
    QTimer m_trayWait;
    int m_trayChecks = 0;
};

} // namespace quillmote::ui
