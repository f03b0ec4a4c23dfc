// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/ui/ViewContext.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace quillmote::ui {

class AppDelegate;
class MainView;

// The one main window. Closing it only hides it; the server and the tray icon stay.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    MainWindow(ViewContext context, AppDelegate& delegate);
    MainView* mainView() const { return m_view; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppDelegate& m_delegate;
    MainView* m_view;
};

// Launch, the main window, and a second launch while running.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    explicit AppDelegate(ViewContext context, QObject* parent = nullptr);
    ~AppDelegate() override;

    MainWindow* window() const { return m_window.get(); }

    // A login start (stayInTray) keeps the window closed once onboarding is done, unless no
    // tray appears within trayWaitMs: the user must always have a way in.
    void applicationDidFinishLaunching(bool stayInTray = false);
    static constexpr int trayWaitMs = 5000;
    // Another launch while this one runs: show the window unless it is already shown.
    void applicationShouldHandleReopen();
    // Creates the window once, then shows it, raised and active.
    void showMainWindow();
    bool windowShouldClose(MainWindow& window);

private:
    ViewContext m_context;
    std::unique_ptr<MainWindow> m_window;
    QTimer m_trayWait;
    int m_trayChecks = 0;
};

} // namespace quillmote::ui
