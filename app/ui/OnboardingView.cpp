// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/OnboardingView.h"

#include "app/ui/Card.h"
#include "app/ui/Fonts.h"
#include "app/ui/PermissionRow.h"
#include "app/ui/ServiceNotice.h"
#include "server/Listener.h"
#include "server/RemoteServer.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quillmote::ui {

using Access = input::InputAccess::State;

OnboardingView::OnboardingView(ViewContext context, std::function<void()> onComplete, QWidget* parent)
    : QWidget(parent), m_context(std::move(context)), m_onComplete(std::move(onComplete)),
      m_accessibilityRow(new PermissionRow(tr("辅助功能权限"), tr("用于模拟鼠标移动、点击和键盘输入"),
                                           Symbol::Pointer, [this] { openAccessibilitySettings(); })),
      m_networkRow(new PermissionRow(tr("本地网络权限"), tr("用于在局域网内发现和连接您的设备"),
                                     Symbol::Network, [this] { requestNetwork(); })),
      m_startButton(new QPushButton(tr("开始使用")))
{
    setFixedWidth(400);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addLayout(buildHeader());
    layout->addWidget(buildPermissionCard());
    m_serviceNotice = new ServiceNotice(m_context.server, nullptr, this);
    layout->addWidget(m_serviceNotice);
    layout->addLayout(buildStartButton());
    // On Linux nothing is granted here: the row's button checks the listener again.
    m_networkRow->button()->setText(tr("重新检查"));

    connect(&m_context.access, &input::InputAccess::accessChanged, this, &OnboardingView::refreshAccess);
    connect(&m_context.server, &RemoteServer::listenerStateChanged, this, &OnboardingView::refreshNetwork);
    refreshAccess();
}

QLayout* OnboardingView::buildHeader()
{
    auto* header = new QVBoxLayout;
    header->setSpacing(10);
    header->setContentsMargins(0, 8, 0, 0);
    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(QSize(56, 56), devicePixelRatioF()));
    icon->setAlignment(Qt::AlignCenter);
    auto* welcome = new QLabel(tr("欢迎使用 Quillmote"), this);
    welcome->setFont(fonts::title());
    welcome->setAlignment(Qt::AlignCenter);
    auto* subtitle = new QLabel(tr("为了正常工作，请授予以下必要权限"), this);
    subtitle->setFont(fonts::body());
    subtitle->setForegroundRole(QPalette::PlaceholderText);
    subtitle->setAlignment(Qt::AlignCenter);
    subtitle->setWordWrap(true);
    header->addWidget(icon);
    header->addWidget(welcome);
    header->addWidget(subtitle);
    return header;
}

QWidget* OnboardingView::buildPermissionCard()
{
    auto* card = new Card(12, this);
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setSpacing(10);
    cardLayout->addWidget(m_accessibilityRow);
    cardLayout->addWidget(makeDivider(card));
    cardLayout->addWidget(m_networkRow);
    return card;
}

QLayout* OnboardingView::buildStartButton()
{
    m_startButton->setFont(fonts::headline());
    m_startButton->setDefault(true);
    m_startButton->setMinimumHeight(m_startButton->sizeHint().height() + 8);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(40, 0, 40, 20);
    buttonRow->addWidget(m_startButton);
    connect(m_startButton, &QPushButton::clicked, this, [this] {
        if (canStart() && m_onComplete)
            m_onComplete();
    });
    return buttonRow;
}

void OnboardingView::showEvent(QShowEvent* event)
{
    // The first check comes a second after the view appears, not at once.
    if (!m_firstCheckScheduled) {
        m_firstCheckScheduled = true;
        QTimer::singleShot(firstCheckDelayMs, this, &OnboardingView::tick);
    }
    QWidget::showEvent(event);
}

void OnboardingView::tick()
{
    refreshAccess();
    checkNetwork();
}

void OnboardingView::refreshAccess()
{
    m_accessibilityGranted = m_context.access.canPostInput();
    // A Wayland desktop shows its own dialog: the row waits for the answer meanwhile.
    m_access = m_context.access.state();
    render();
}

void OnboardingView::refreshNetwork()
{
    // Without avahi-daemon the row turns granted once it runs; until then the notice says why.
    if (isListenerReady(m_context.server)) {
        m_networkGranted = true;
        m_isCheckingNetwork = false;
    }
    render();
}

void OnboardingView::checkNetwork()
{
    refreshNetwork();
    if (!m_context.server.listener())
        m_context.server.start();
}

void OnboardingView::requestNetwork()
{
    m_isCheckingNetwork = true;
    m_networkChecked = true;
    m_context.server.start();
    // The row spins for the whole check, then says what it found.
    QTimer::singleShot(networkRecheckDelayMs, this, [this] {
        m_isCheckingNetwork = false;
        checkNetwork();
    });
    render();
}

QString OnboardingView::networkFinding() const
{
    const Listener* listener = m_context.server.listener();
    if (m_networkGranted || !m_networkChecked || m_isCheckingNetwork || !listener)
        return tr("用于在局域网内发现和连接您的设备");
    if (listener->state() == ListenerState::Waiting)
        return tr("已重新检查：avahi-daemon 未运行。开始使用后，手机仍可按地址连接");
    if (listener->state() == ListenerState::Failed)
        return tr("已重新检查：服务无法启动（%1）").arg(listener->error());
    return tr("已重新检查：仍在等待 avahi-daemon 回应");
}

void OnboardingView::openAccessibilitySettings()
{
    m_context.access.requestInputAccess();
    if (m_context.openUrl)
        m_context.openUrl(inputAccessHelpPage());
}

void OnboardingView::render()
{
    m_accessibilityRow->setGranted(m_accessibilityGranted);
    // On Wayland the desktop itself asks the user; the row says so instead of what input is for.
    m_accessibilityRow->setLoading(m_access == Access::Awaiting);
    QString description = tr("用于模拟鼠标移动、点击和键盘输入");
    if (m_access == Access::Awaiting)
        description = tr("桌面正在询问是否允许远程交互，请在其对话框中允许");
    else if (m_access == Access::Refused)
        description = tr("桌面未允许远程交互，点“去授权”重新请求");
    else if (m_access == Access::Locked || m_access == Access::LockedOut)
        description = lockScreenText(m_access);
    m_accessibilityRow->setDescription(description);
    m_networkRow->setGranted(m_networkGranted);
    m_networkRow->setLoading(m_isCheckingNetwork);
    m_networkRow->setDescription(networkFinding());
    m_startButton->setEnabled(canStart());
}

bool OnboardingView::canStart() const
{
    // Without DNS-SD phones can still connect by address: nobody is kept from starting.
    return m_accessibilityGranted && (m_networkGranted || isAdvertisingUnavailable(m_context.server));
}

} // namespace quillmote::ui
