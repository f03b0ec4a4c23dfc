// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/TrayApplication.h"

#include "app/ui/TrayPanelView.h"
#include "server/RemoteServer.h"
#include "server/ServerStatus.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace quillmote::ui {

Panel::Panel(ViewContext context, MainWindowController& mainWindow)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint),
      m_content(new TrayPanelView(
          std::move(context), [&mainWindow] { mainWindow.showWindow(); }, [this] { hide(); }, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_content);
}

bool Panel::event(QEvent* event)
{
    // Lines come and go (failed attempts, addresses) and wrapped lines need the height their
    // width gives them, which only adjustSize computes.
    if (event->type() == QEvent::LayoutRequest)
        adjustSize();
    return QWidget::event(event);
}

void Panel::popUp(const QRect& anchor)
{
    adjustSize();
    const QPoint at = anchor.isValid() ? anchor.center() : QCursor::pos();
    const QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(at, size());
    QRect frame(QPoint(at.x() - width() / 2, at.y()), size());
    // Below a panel at the top of the screen, above one at the bottom.
    if (anchor.isValid() && anchor.center().y() > area.center().y())
        frame.moveBottom(anchor.top() - 4);
    else if (anchor.isValid())
        frame.moveTop(anchor.bottom() + 4);
    frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - width())));
    frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - height())));
    move(frame.topLeft());
    show();
    activateWindow();
}

TrayApplication::TrayApplication(ViewContext context, QObject* parent)
    : QObject(parent), m_context(context), m_mainWindow(context)
{
    // Desktops that hand clicks to a menu instead of the icon still get both actions.
    m_menu.addAction(tr("显示主窗口", "Show Main Window"), this, [this] { m_mainWindow.showWindow(); });
    m_menu.addAction(tr("退出", "Quit Button"), this, [this] {
        if (m_context.quit)
            m_context.quit();
    });
    m_tray.setContextMenu(&m_menu);
    m_tray.setToolTip(QStringLiteral("Quillmote"));
    connect(&m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            togglePanel();
    });
    connect(&m_context.status, &ServerStatus::isConnectedChanged, this, &TrayApplication::updateTrayIcon);
    updateTrayIcon();
}

TrayApplication::~TrayApplication() = default;

Panel& TrayApplication::panel()
{
    if (!m_panel)
        m_panel = std::make_unique<Panel>(m_context, m_mainWindow);
    return *m_panel;
}

void TrayApplication::launch(bool minimized)
{
    // Shown even before a tray exists: Qt installs the icon once one appears.
    m_tray.show();
    m_mainWindow.launch(minimized);
}

void TrayApplication::togglePanel()
{
    Panel& shown = panel();
    if (shown.isVisible())
        shown.hide();
    else
        shown.popUp(m_tray.geometry());
}

void TrayApplication::updateTrayIcon()
{
    m_iconName =
        QString::fromLatin1(m_context.status.isConnected() ? connectedIconName : disconnectedIconName);
    m_tray.setIcon(QIcon(QStringLiteral(":/icons/") + m_iconName + QStringLiteral(".svg")));
}

} // namespace quillmote::ui
