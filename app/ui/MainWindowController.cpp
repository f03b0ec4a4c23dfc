// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/MainWindowController.h"

#include "app/ui/MainView.h"
#include "app/ui/Symbols.h"
#include "server/RemoteServer.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace quillmote::ui {

MainWindow::MainWindow(ViewContext context) : m_view(new MainView(std::move(context), this))
{
    setWindowTitle(QStringLiteral("Quillmote"));
    setWindowIcon(applicationIcon());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    // The views have fixed sizes; the window follows them and cannot be resized.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    hide();
    event->ignore();
}

MainWindowController::MainWindowController(ViewContext context, QObject* parent)
    : QObject(parent), m_context(std::move(context))
{
}

MainWindowController::~MainWindowController() = default;

void MainWindowController::launch(bool inTray)
{
    const bool onboarded = MainView::readCompletedOnboarding(m_context.settings);
    if (!inTray || !onboarded)
        showWindow();
    if (onboarded)
        m_context.server.start();
    if (!inTray || !onboarded || QSystemTrayIcon::isSystemTrayAvailable())
        return;
    // At login the panel with its tray may start after us; without any, the window opens.
    constexpr int checkIntervalMs = 250;
    m_trayWait.setInterval(checkIntervalMs);
    connect(&m_trayWait, &QTimer::timeout, this, [this] {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            m_trayWait.stop();
        } else if (++m_trayChecks * checkIntervalMs >= trayWaitMs) {
            m_trayWait.stop();
            showWindow();
        }
    });
    m_trayWait.start();
}

void MainWindowController::reopen()
{
    if (m_window && m_window->isVisible()) {
        // Already shown, perhaps behind other windows: bring it forward.
        m_window->raise();
        m_window->activateWindow();
        return;
    }
    showWindow();
}

void MainWindowController::showWindow()
{
    if (!m_window) {
        m_window = std::make_unique<MainWindow>(m_context);
        m_window->adjustSize();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = m_window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace quillmote::ui
