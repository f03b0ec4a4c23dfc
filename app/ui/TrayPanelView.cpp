// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/TrayPanelView.h"

#include "app/ui/AddressLabel.h"
#include "app/ui/Card.h"
#include "app/ui/DeviceRequestNotice.h"
#include "app/ui/Fonts.h"
#include "app/ui/PairingAttemptsNotice.h"
#include "app/ui/ServiceNotice.h"
#include "app/ui/Symbols.h"
#include "input/InputAccess.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"
#include "server/ServerStatus.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmote::ui {

TrayPanelView::TrayPanelView(ViewContext context, std::function<void()> showMainWindow,
                             std::function<void()> dismissAction, QWidget* parent)
    : QWidget(parent), m_context(std::move(context)), m_showMainWindowAction(std::move(showMainWindow)),
      m_dismissAction(std::move(dismissAction))
{
    setFixedWidth(260);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(16);
    layout->addLayout(buildTitle());
    m_showMainWindow = new QPushButton(tr("显示主窗口", "Show Main Window"), this);
    connect(m_showMainWindow, &QPushButton::clicked, this, [this] {
        if (m_showMainWindowAction)
            m_showMainWindowAction();
        if (m_dismissAction)
            m_dismissAction();
    });
    layout->addWidget(m_showMainWindow, 0, Qt::AlignHCenter);
    layout->addWidget(makeDivider(this));
    layout->addWidget(buildCodeBox());
    layout->addLayout(buildStatusRow());
    m_address = new AddressLabel(m_context.server, m_context.addresses, this);
    layout->addWidget(m_address);
    layout->addWidget(new ServiceNotice(m_context.server, &m_context.addresses, this));
    m_attempts = new PairingAttemptsNotice(m_context.gate, this);
    layout->addWidget(m_attempts); // its full width: a wrapped line needs the height that width gives it
    if (m_context.approval)
        layout->addWidget(new DeviceRequestNotice(*m_context.approval, this));
    layout->addWidget(makeDivider(this));
    buildPermissionLines(layout);
    m_quit = new QPushButton(tr("退出", "Quit Button"), this);
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(m_quit, &QPushButton::clicked, this, [this] {
        if (m_context.quit)
            m_context.quit();
    });
    layout->addWidget(m_quit, 0, Qt::AlignHCenter);

    observeServer(m_context, this, [this] { refreshPermission(); });
    onApplicationActivated(this, [this] { refreshPermission(); });
    render();
}

QLayout* TrayPanelView::buildTitle()
{
    auto* titleBlock = new QVBoxLayout;
    titleBlock->setSpacing(2);
    titleBlock->setContentsMargins(0, 8, 0, 0);
    auto* title = new QLabel(tr("Quillmote Server", "App Name Title"), this);
    title->setFont(fonts::headline());
    title->setAlignment(Qt::AlignCenter);
    titleBlock->addWidget(title);
    m_version = new QLabel(tr("v%@").replace(QLatin1String("%@"), applicationVersion()), this);
    m_version->setFont(fonts::caption2());
    m_version->setForegroundRole(QPalette::PlaceholderText);
    m_version->setAlignment(Qt::AlignCenter);
    m_version->setVisible(!applicationVersion().isEmpty());
    titleBlock->addWidget(m_version);
    return titleBlock;
}

QWidget* TrayPanelView::buildCodeBox()
{
    auto* codeBox = new Card(8, this);
    auto* codeLayout = new QVBoxLayout(codeBox);
    codeLayout->setContentsMargins(12, 8, 12, 8);
    auto* codeCaption = new QLabel(tr("配对码", "Pairing Code Label"), codeBox);
    codeCaption->setFont(fonts::caption());
    codeCaption->setForegroundRole(QPalette::PlaceholderText);
    codeCaption->setAlignment(Qt::AlignCenter);
    m_code = new QLabel(codeBox);
    m_code->setFont(fonts::code(32));
    m_code->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_code->setAlignment(Qt::AlignCenter);
    codeLayout->addWidget(codeCaption);
    codeLayout->addWidget(m_code);
    return codeBox;
}

QLayout* TrayPanelView::buildStatusRow()
{
    auto* statusRow = new QHBoxLayout;
    statusRow->addStretch();
    m_statusSymbol = new SymbolLabel(Symbol::Circle, colors::gray, 14, this);
    m_status = new QLabel(this);
    m_status->setFont(fonts::subheadline());
    statusRow->addWidget(m_statusSymbol);
    statusRow->addWidget(m_status);
    statusRow->addStretch();
    return statusRow;
}

void TrayPanelView::buildPermissionLines(QLayout* layout)
{
    m_granted = new QWidget(this);
    auto* grantedLayout = new QHBoxLayout(m_granted);
    grantedLayout->setContentsMargins(5, 5, 5, 5);
    grantedLayout->addStretch();
    grantedLayout->addWidget(new SymbolLabel(Symbol::CheckCircle, colors::green, 16, m_granted));
    auto* grantedText = new QLabel(tr("辅助功能权限正常", "Permission Granted"), m_granted);
    grantedText->setForegroundRole(QPalette::PlaceholderText);
    grantedLayout->addWidget(grantedText);
    grantedLayout->addStretch();
    layout->addWidget(m_granted);
    m_permissionButton = new QPushButton(symbolIcon(Symbol::Warning, colors::yellow),
                                         tr("检查辅助功能权限", "Check Permission"), this);
    connect(m_permissionButton, &QPushButton::clicked, this, &TrayPanelView::requestPermission);
    layout->addWidget(m_permissionButton);
    layout->setAlignment(m_permissionButton, Qt::AlignHCenter);
}

void TrayPanelView::showEvent(QShowEvent* event)
{
    if (!m_context.server.listener())
        m_context.server.start();
    refreshPermission();
    QWidget::showEvent(event);
}

void TrayPanelView::refreshPermission()
{
    m_hasPermission = m_context.access.canPostInput();
    render();
}

void TrayPanelView::requestPermission()
{
    if (!m_context.access.canPostInput()) {
        m_context.access.requestInputAccess();
        if (m_context.openUrl)
            m_context.openUrl(inputAccessHelpPage());
    }
    refreshPermission();
}

void TrayPanelView::render()
{
    m_code->setText(m_context.gate.pairingCode());
    m_status->setText(m_context.status.connectionStatus());
    if (m_context.status.isConnected())
        m_statusSymbol->setSymbol(Symbol::CircleFilled, colors::green);
    else
        m_statusSymbol->setSymbol(Symbol::Circle, colors::gray);
    m_granted->setVisible(m_hasPermission);
    m_permissionButton->setVisible(!m_hasPermission);
}

} // namespace quillmote::ui
