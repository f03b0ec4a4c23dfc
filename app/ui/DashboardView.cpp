// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/DashboardView.h"

#include "app/ui/AddressLabel.h"
#include "app/ui/Card.h"
#include "app/ui/DeviceRequestNotice.h"
#include "app/ui/DevicesDialog.h"
#include "app/ui/Fonts.h"
#include "app/ui/LoginStart.h"
#include "app/ui/PairingAttemptsNotice.h"
#include "app/ui/ServiceNotice.h"
#include "app/ui/Symbols.h"
#include "app/ui/WebRemoteCard.h"
#include "server/DeviceApproval.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"
#include "server/ServerStatus.h"
#include "util/Console.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadialGradient>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace quillmote::ui {

namespace {

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(alpha);
    return color;
}
} // namespace

StatusLight::StatusLight(QWidget* parent) : QWidget(parent)
{
    // The light is 10 points; the rest is room for its glow.
    setFixedSize(20, 20);
}

void StatusLight::setColors(const QColor& light, const QColor& glow)
{
    if (light == m_light && glow == m_glow)
        return;
    m_light = light;
    m_glow = glow;
    update();
}

void StatusLight::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = QRectF(rect()).center();
    QRadialGradient glow(c, 9);
    glow.setColorAt(0.5, m_glow);
    glow.setColorAt(1.0, withAlpha(m_glow, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(c, 9, 9);
    p.setBrush(m_light);
    p.drawEllipse(c, 5, 5);
}

DashboardView::DashboardView(ViewContext context, QWidget* parent)
    : QWidget(parent), m_context(std::move(context))
{
    // As high as what it shows: on an 800-pixel screen at scale 2 the window must stay below
    // 400 points with its title bar.
    setFixedWidth(400);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* main = new QWidget(this);
    main->setBackgroundRole(QPalette::Window);
    main->setAutoFillBackground(true);
    auto* mainLayout = new QVBoxLayout(main);
    mainLayout->setSpacing(12);
    mainLayout->setContentsMargins(16, 20, 16, 16);
    mainLayout->addStretch();
    mainLayout->addLayout(buildCodeBlock(main));
    mainLayout->addWidget(buildStatusCapsule(main), 0, Qt::AlignHCenter);
    m_address = new AddressLabel(m_context.server, m_context.addresses, main);
    mainLayout->addWidget(m_address);
    m_serviceNotice = new ServiceNotice(m_context.server, &m_context.addresses, main);
    mainLayout->addWidget(m_serviceNotice);
    m_attempts = new PairingAttemptsNotice(m_context.gate, main);
    mainLayout->addWidget(m_attempts); // its full width: a wrapped line needs the height that width gives it
    if (m_context.approval) {
        m_deviceRequest = new DeviceRequestNotice(*m_context.approval, main);
        mainLayout->addWidget(m_deviceRequest);
    }
    buildWarningAndLoginStart(main, mainLayout);
    mainLayout->addStretch();
    if (m_context.webRemote) {
        // Beside the code rather than under it: the window keeps its height.
        setFixedWidth(minimumWidth() + WebRemoteCard::columnWidth);
        auto* row = new QHBoxLayout;
        row->setSpacing(0);
        row->addWidget(main, 1);
        m_webRemote = new WebRemoteCard(*m_context.webRemote, this);
        row->addWidget(m_webRemote);
        layout->addLayout(row, 1);
    } else {
        layout->addWidget(main, 1);
    }
    layout->addWidget(makeDivider(this));
    layout->addWidget(buildApplicationRow());
    layout->addWidget(makeDivider(this));
    layout->addWidget(buildFooter());

    // Any published change may change what is shown, the input access's included.
    observeServer(m_context, this, [this] { refreshPermission(); });
    onApplicationActivated(this, [this] { refreshPermission(); });
    refreshPermission();
    render();
}

QLayout* DashboardView::buildCodeBlock(QWidget* parent)
{
    auto* codeBlock = new QVBoxLayout;
    codeBlock->setSpacing(8);
    auto* codeCaption = new QLabel(tr("配对码", "Pairing Code Label"), parent);
    codeCaption->setFont(fonts::headline());
    codeCaption->setForegroundRole(QPalette::PlaceholderText);
    codeCaption->setAlignment(Qt::AlignCenter);
    codeBlock->addWidget(codeCaption);
    auto* codeCard = new Card(16, parent);
    auto* codeCardLayout = new QHBoxLayout(codeCard);
    codeCardLayout->setContentsMargins(20, 10, 20, 10);
    m_code = new QLabel(codeCard);
    m_code->setFont(fonts::code(52));
    m_code->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_code->setAlignment(Qt::AlignCenter);
    codeCardLayout->addWidget(m_code);
    codeBlock->addWidget(codeCard, 0, Qt::AlignHCenter);
    return codeBlock;
}

QWidget* DashboardView::buildStatusCapsule(QWidget* parent)
{
    auto* capsule = new Card(14, parent);
    capsule->setFill(withAlpha(colors::gray, 0.1));
    auto* capsuleLayout = new QHBoxLayout(capsule);
    capsuleLayout->setContentsMargins(16, 8, 16, 8);
    capsuleLayout->setSpacing(8);
    m_light = new StatusLight(capsule);
    m_status = new QLabel(capsule);
    m_status->setFont(fonts::subheadline());
    capsuleLayout->addWidget(m_light);
    capsuleLayout->addWidget(m_status);
    return capsule;
}

void DashboardView::buildWarningAndLoginStart(QWidget* parent, QVBoxLayout* layout)
{
    m_warning = new QPushButton(symbolIcon(Symbol::Warning, colors::yellow), tr("检查辅助功能权限"), parent);
    m_warning->setFlat(true);
    m_warning->setCursor(Qt::PointingHandCursor);
    m_warning->setStyleSheet(
        QStringLiteral("QPushButton { padding: 8px 12px; border-radius: 14px;"
                       " background: rgba(255, 204, 0, 26); border: 1px solid rgba(255, 204, 0, 128);"
                       " font-weight: 500; }"));
    connect(m_warning, &QPushButton::clicked, this, &DashboardView::requestPermission);
    layout->addWidget(m_warning, 0, Qt::AlignHCenter);
    m_loginStart = new QCheckBox(tr("登录时启动"), parent);
    m_loginStart->setFont(fonts::caption());
    m_loginStart->setChecked(LoginStart::isEnabled());
    connect(m_loginStart, &QCheckBox::toggled, this, [this](bool enabled) {
        if (!LoginStart::setEnabled(enabled,
                                    LoginStart::programFor(QCoreApplication::applicationFilePath()))) {
            console::line(QStringLiteral("Could not change the login start in ") + LoginStart::entryPath());
            const QSignalBlocker blocker(m_loginStart);
            m_loginStart->setChecked(LoginStart::isEnabled());
        }
        renderLoginStartNote();
    });
    layout->addWidget(m_loginStart, 0, Qt::AlignHCenter);
    if (m_context.approval) {
        m_devices = new QPushButton(tr("设备…"), parent);
        m_devices->setFont(fonts::caption());
        m_devices->setFlat(true);
        m_devices->setCursor(Qt::PointingHandCursor);
        connect(m_devices, &QPushButton::clicked, this, [this] {
            auto* dialog = new DevicesDialog(m_context.approval->devices(), this);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->show();
        });
        layout->addWidget(m_devices, 0, Qt::AlignHCenter);
    }
    m_loginStartNote = new QLabel(parent);
    m_loginStartNote->setFont(fonts::caption());
    m_loginStartNote->setForegroundRole(QPalette::PlaceholderText);
    m_loginStartNote->setWordWrap(true);
    m_loginStartNote->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_loginStartNote);
    renderLoginStartNote();
}

void DashboardView::renderLoginStartNote()
{
    const QString program = LoginStart::entryProgram();
    const bool inBuild = !program.isEmpty() && LoginStart::isInBuildFolder(program);
    m_loginStartNote->setText(
        inBuild ? tr("登录时启动的是构建目录中的程序（%1），删除该目录后将无法启动").arg(program)
                : QString());
    m_loginStartNote->setVisible(inBuild);
}

QWidget* DashboardView::buildApplicationRow()
{
    auto* appRow = new QWidget(this);
    appRow->setBackgroundRole(QPalette::Base);
    appRow->setAutoFillBackground(true);
    auto* appLayout = new QHBoxLayout(appRow);
    appLayout->setContentsMargins(16, 10, 16, 10);
    appLayout->setSpacing(12);
    auto* icon = new QLabel(appRow);
    icon->setPixmap(applicationIcon().pixmap(QSize(36, 36), devicePixelRatioF()));
    appLayout->addWidget(icon);
    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    auto* name = new QLabel(tr("Quillmote"), appRow);
    name->setFont(fonts::headline());
    const QString version =
        applicationVersion().isEmpty() ? QString::fromLatin1(fallbackVersion) : applicationVersion();
    m_version = new QLabel(tr("v%@").replace(QLatin1String("%@"), version), appRow);
    m_version->setFont(fonts::caption());
    m_version->setForegroundRole(QPalette::PlaceholderText);
    names->addWidget(name);
    names->addWidget(m_version);
    appLayout->addLayout(names);
    appLayout->addStretch();
    m_homePage = new QPushButton(symbolIcon(Symbol::Network, palette().color(QPalette::ButtonText)),
                                 tr("打开主页"), appRow);
    connect(m_homePage, &QPushButton::clicked, this, [this] {
        const QUrl url(QString::fromLatin1(homePage));
        if (url.isValid() && m_context.openUrl)
            m_context.openUrl(url);
    });
    appLayout->addWidget(m_homePage);
    return appRow;
}

QWidget* DashboardView::buildFooter()
{
    auto* footer = new QWidget(this);
    footer->setBackgroundRole(QPalette::Base);
    footer->setAutoFillBackground(true);
    auto* footerLayout = new QHBoxLayout(footer);
    footerLayout->setContentsMargins(16, 8, 16, 8);
    m_closeHint = new QLabel(footer);
    m_closeHint->setFont(fonts::caption2());
    m_closeHint->setForegroundRole(QPalette::PlaceholderText);
    m_closeHint->setWordWrap(true);
    footerLayout->addWidget(m_closeHint, 1);
    m_quit = new QPushButton(tr("退出应用"), footer);
    m_quit->setFlat(true);
    m_quit->setFont(fonts::caption());
    m_quit->setForegroundRole(QPalette::PlaceholderText);
    connect(m_quit, &QPushButton::clicked, this, [this] {
        if (m_context.quit)
            m_context.quit();
    });
    footerLayout->addWidget(m_quit);
    return footer;
}

QString DashboardView::statusText() const
{
    return m_status->text();
}

void DashboardView::showEvent(QShowEvent* event)
{
    // A panel with a tray may have come or gone since the window was last shown. Asked here
    // rather than on every change: the answer costs a trip to the display server.
    m_closeHint->setText(QSystemTrayIcon::isSystemTrayAvailable()
                             ? tr("点击关闭按钮将最小化到状态栏")
                             : tr("关闭窗口后 Quillmote 仍在运行，再次启动它即可打开此窗口"));
    QWidget::showEvent(event);
}

void DashboardView::changeEvent(QEvent* event)
{
    // A theme switched while running (light to dark): what was drawn from the old palette
    // is drawn again.
    if (event->type() == QEvent::PaletteChange) {
        m_homePage->setIcon(symbolIcon(Symbol::Network, palette().color(QPalette::ButtonText)));
        render();
    }
    QWidget::changeEvent(event);
}

void DashboardView::refreshPermission()
{
    m_hasPermission = m_context.access.canPostInput();
    m_access = m_context.access.state();
    render();
}

void DashboardView::requestPermission()
{
    // A desktop that refused is asked again; where nobody can be asked, the help page explains.
    if (!m_context.access.canPostInput() && !m_context.access.requestInputAccess() && m_context.openUrl)
        m_context.openUrl(inputAccessHelpPage());
    refreshPermission();
}

void DashboardView::render()
{
    const RemoteServer& server = m_context.server;
    m_code->setText(m_context.gate.pairingCode());
    QPalette statusPalette = m_status->palette();
    if (m_context.status.isConnected()) {
        m_light->setColors(colors::green, withAlpha(colors::green, 0.5));
        m_status->setText(tr("设备已连接"));
        statusPalette.setColor(QPalette::WindowText, colors::green);
    } else {
        // Without avahi-daemon the server still takes connections: waiting, but not advertised.
        const bool ready = isListenerReady(server);
        const bool unadvertised = isAdvertisingUnavailable(server);
        m_light->setColors(ready || unadvertised ? colors::orange : colors::red,
                           withAlpha(colors::orange, 0.5));
        m_status->setText(ready          ? tr("等待连接...")
                          : unadvertised ? tr("等待连接（未广播）")
                                         : tr("服务未启动"));
        statusPalette.setColor(QPalette::WindowText, palette().color(QPalette::PlaceholderText));
    }
    m_status->setPalette(statusPalette);
    using Access = input::InputAccess::State;
    m_warning->setVisible(!m_hasPermission || m_access == Access::Shielded);
    // Only asking again and the help page are something to press; the rest only says how input goes.
    m_warning->setEnabled(m_access == Access::Refused || m_access == Access::Unavailable);
    const QString atLock = lockScreenText(m_access);
    m_warning->setText(m_access == Access::Awaiting  ? tr("等待桌面允许远程输入…")
                       : m_access == Access::Refused ? tr("桌面未允许远程输入，点此重新请求")
                       : !atLock.isEmpty()           ? atLock
                                                     : tr("检查辅助功能权限"));
}

} // namespace quillmote::ui
