// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/MainView.h"

#include "app/ui/DashboardView.h"
#include "app/ui/OnboardingView.h"
#include "util/Console.h"

#include <QSettings>
#include <QVBoxLayout>

namespace quillmote::ui {

MainView::MainView(ViewContext context, QWidget* parent)
    : QWidget(parent), m_context(std::move(context)),
      m_hasCompletedOnboarding(readCompletedOnboarding(m_context.settingsPath))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    showCurrentView();
}

OnboardingView* MainView::permissionView() const
{
    return m_permission;
}

DashboardView* MainView::dashboardView() const
{
    return m_dashboard;
}

bool MainView::readCompletedOnboarding(const QString& settingsPath)
{
    const QSettings settings(settingsPath, QSettings::IniFormat);
    return settings.value(QLatin1String(onboardingKey), false).toBool();
}

void MainView::completeOnboarding()
{
    m_hasCompletedOnboarding = true;
    QSettings settings(m_context.settingsPath, QSettings::IniFormat);
    settings.setValue(QLatin1String(onboardingKey), true);
    settings.sync();
    // The dashboard is shown all the same; the onboarding simply comes back on the next launch.
    if (settings.status() != QSettings::NoError)
        console::line(QStringLiteral("Could not save the settings file ") + m_context.settingsPath);
    showCurrentView();
}

void MainView::showCurrentView()
{
    if (m_hasCompletedOnboarding) {
        if (m_dashboard)
            return;
        if (m_permission) {
            // Hidden first so that its polling stops before it goes.
            m_permission->hide();
            m_permission->deleteLater();
        }
        m_dashboard = new DashboardView(m_context, this);
        layout()->addWidget(m_dashboard);
        m_dashboard->show();
    } else if (!m_permission) {
        m_permission = new OnboardingView(
            m_context, [this] { completeOnboarding(); }, this);
        layout()->addWidget(m_permission);
    }
}

} // namespace quillmote::ui
