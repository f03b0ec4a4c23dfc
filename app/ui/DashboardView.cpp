// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/DashboardView.h"

#include "app/ui/AddressLabel.h"
#include "app/ui/Card.h"
#include "app/ui/Fonts.h"
#include "app/ui/LoginStart.h"
#include "app/ui/PairingAttemptsNotice.h"
#include "app/ui/ServiceNotice.h"
#include "app/ui/Symbols.h"
#include "input/InputController.h"
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

DashboardView::DashboardView(ViewContext context, bool hasPermission, QWidget* parent)
    : QWidget(parent), m_context(std::move(context)), m_hasPermission(hasPermission)
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

    auto* codeBlock = new QVBoxLayout;
    codeBlock->setSpacing(8);
    auto* codeCaption = new QLabel(tr("配对码", "Pairing Code Label"), main);
    codeCaption->setFont(fonts::headline());
    codeCaption->setForegroundRole(QPalette::PlaceholderText);
    codeCaption->setAlignment(Qt::AlignCenter);
    codeBlock->addWidget(codeCaption);
    auto* codeCard = new Card(16, main);
    auto* codeCardLayout = new QHBoxLayout(codeCard);
    codeCardLayout->setContentsMargins(20, 10, 20, 10);
    m_code = new QLabel(codeCard);
    m_code->setFont(fonts::code(52));
    m_code->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_code->setAlignment(Qt::AlignCenter);
    codeCardLayout->addWidget(m_code);
    codeBlock->addWidget(codeCard, 0, Qt::AlignHCenter);
    mainLayout->addLayout(codeBlock);

    auto* capsule = new Card(14, main);
    capsule->setFill(withAlpha(colors::gray, 0.1));
    auto* capsuleLayout = new QHBoxLayout(capsule);
    capsuleLayout->setContentsMargins(16, 8, 16, 8);
    capsuleLayout->setSpacing(8);
    m_light = new StatusLight(capsule);
    m_status = new QLabel(capsule);
    m_status->setFont(fonts::subheadline());
    capsuleLayout->addWidget(m_light);
    capsuleLayout->addWidget(m_status);
    mainLayout->addWidget(capsule, 0, Qt::AlignHCenter);
    m_address = new AddressLabel(m_context.server, main);
    mainLayout->addWidget(m_address);
    m_serviceNotice = new ServiceNotice(m_context.server, main);
    mainLayout->addWidget(m_serviceNotice);
    m_attempts = new PairingAttemptsNotice(m_context.server, main);
    mainLayout->addWidget(m_attempts, 0, Qt::AlignHCenter);

    m_warning = new QPushButton(symbolIcon(Symbol::Warning, colors::yellow), tr("检查辅助功能权限"), main);
    m_warning->setFlat(true);
    m_warning->setCursor(Qt::PointingHandCursor);
    m_warning->setStyleSheet(
        QStringLiteral("QPushButton { padding: 8px 12px; border-radius: 14px;"
                       " background: rgba(255, 204, 0, 26); border: 1px solid rgba(255, 204, 0, 128);"
                       " font-weight: 500; }"));
    connect(m_warning, &QPushButton::clicked, this, &DashboardView::requestPermission);
    mainLayout->addWidget(m_warning, 0, Qt::AlignHCenter);
    m_loginStart = new QCheckBox(tr("登录时启动"), main);
    m_loginStart->setFont(fonts::caption());
    m_loginStart->setChecked(LoginStart::isEnabled());
    connect(m_loginStart, &QCheckBox::toggled, this, [this](bool enabled) {
        if (LoginStart::setEnabled(enabled, QCoreApplication::applicationFilePath()))
            return;
        console::line(QStringLiteral("Could not change the login start in ") + LoginStart::entryPath());
        const QSignalBlocker blocker(m_loginStart);
        m_loginStart->setChecked(LoginStart::isEnabled());
    });
    mainLayout->addWidget(m_loginStart, 0, Qt::AlignHCenter);
    mainLayout->addStretch();
    layout->addWidget(main, 1);
    layout->addWidget(makeDivider(this));

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
    m_update = new QPushButton(symbolIcon(Symbol::Refresh, palette().color(QPalette::ButtonText)),
                               tr("检查更新"), appRow);
    connect(m_update, &QPushButton::clicked, this, [this] {
        const QUrl url(QString::fromLatin1(homePage));
        if (url.isValid() && m_context.openUrl)
            m_context.openUrl(url);
    });
    appLayout->addWidget(m_update);
    layout->addWidget(appRow);
    layout->addWidget(makeDivider(this));

    auto* footer = new QWidget(this);
    footer->setBackgroundRole(QPalette::Base);
    footer->setAutoFillBackground(true);
    auto* footerLayout = new QHBoxLayout(footer);
    footerLayout->setContentsMargins(16, 8, 16, 8);
    auto* hint = new QLabel(tr("点击关闭按钮将最小化到状态栏"), footer);
    hint->setFont(fonts::caption2());
    hint->setForegroundRole(QPalette::PlaceholderText);
    footerLayout->addWidget(hint);
    footerLayout->addStretch();
    m_quit = new QPushButton(tr("退出应用"), footer);
    m_quit->setFlat(true);
    m_quit->setFont(fonts::caption());
    m_quit->setForegroundRole(QPalette::PlaceholderText);
    connect(m_quit, &QPushButton::clicked, this, [this] {
        if (m_context.quit)
            m_context.quit();
    });
    footerLayout->addWidget(m_quit);
    layout->addWidget(footer);

    // Any published change of the server may change what is shown, including the listener's
    // state, which only shows through a status change.
    observeServer(m_context, this, [this] { render(); });
    onApplicationActivated(this, [this] { refreshPermission(); });
    m_timer.setInterval(refreshIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &DashboardView::refreshPermission);
    render();
}

QString DashboardView::statusText() const
{
    return m_status->text();
}

void DashboardView::changeEvent(QEvent* event)
{
    // A theme switched while running (light to dark): what was drawn from the old palette
    // is drawn again.
    if (event->type() == QEvent::PaletteChange) {
        m_update->setIcon(symbolIcon(Symbol::Refresh, palette().color(QPalette::ButtonText)));
        render();
    }
    QWidget::changeEvent(event);
}

void DashboardView::showEvent(QShowEvent* event)
{
    refreshPermission();
    m_timer.start();
    QWidget::showEvent(event);
}

void DashboardView::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}

void DashboardView::refreshPermission()
{
    // Polled every two seconds: only a change is rendered.
    const bool granted = m_context.input.checkAccessibility(false);
    const input::EventSink::Access access = m_context.input.sink().access();
    if (granted == m_hasPermission && access == m_access)
        return;
    m_hasPermission = granted;
    m_access = access;
    render();
}

void DashboardView::requestPermission()
{
    // A desktop that refused is asked again; where nobody can be asked, the help page explains.
    const bool askable = m_context.input.sink().access() == input::EventSink::Access::Refused;
    if (m_context.input.checkAccessibility(true)) {
        m_hasPermission = true;
    } else if (!askable && m_context.openUrl) {
        m_context.openUrl(inputAccessHelpPage());
    }
    m_access = m_context.input.sink().access();
    render();
}

void DashboardView::render()
{
    const RemoteServer& server = m_context.server;
    m_code->setText(server.pairingCode());
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
    m_warning->setVisible(!m_hasPermission);
    m_warning->setEnabled(m_access != input::EventSink::Access::Awaiting);
    m_warning->setText(m_access == input::EventSink::Access::Awaiting ? tr("等待桌面允许远程输入…")
                       : m_access == input::EventSink::Access::Refused
                           ? tr("桌面未允许远程输入，点此重新请求")
                           : tr("检查辅助功能权限"));
}

} // namespace quillmote::ui
