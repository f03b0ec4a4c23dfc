// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/ui/MainWindowController.h"
#include "app/ui/ViewContext.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

namespace quillmote::ui {

class TrayPanelView;

// The small frameless window the tray icon opens; it closes when it loses focus.
class Panel : public QWidget
{
    Q_OBJECT
public:
    Panel(ViewContext context, MainWindowController& mainWindow);
    // Opens next to the tray icon's area (or the pointer when the tray does not say where).
    void popUp(const QRect& anchor);

protected:
    bool event(QEvent* event) override;

private:
    TrayPanelView* m_content;
};

// The desktop application: the main window, and the tray icon that shows whether a device is
// paired and opens the panel.
class TrayApplication : public QObject
{
    Q_OBJECT
public:
    static constexpr char connectedIconName[] = "MenuBarIcon_Connected";
    static constexpr char disconnectedIconName[] = "MenuBarIcon_Disconnected";

    explicit TrayApplication(ViewContext context, QObject* parent = nullptr);
    ~TrayApplication() override;

    MainWindowController& mainWindow() { return m_mainWindow; }
    Panel& panel();
    // The image the tray icon shows now.

    // Shows the main window and the tray icon, and starts the server when onboarding is done.
    // minimized: a login start, in the tray without the window.
    void launch(bool minimized = false);
    void togglePanel();

private:
    void updateTrayIcon();

    ViewContext m_context;
    MainWindowController m_mainWindow;
    QSystemTrayIcon m_tray;
    QMenu m_menu;
    std::unique_ptr<Panel> m_panel;
    QString m_iconName;
};

} // namespace quillmote::ui
