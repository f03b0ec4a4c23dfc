// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/MainView.h"

#include "app/ui/DashboardView.h"
#include "app/ui/OnboardingView.h"
#include "util/Console.h"
#include "util/Settings.h"

#include <QVBoxLayout>

namespace quillmote::ui {

MainView::MainView(ViewContext context, QWidget* parent)
    : QWidget(parent), m_context(std::move(context)),
      m_hasCompletedOnboarding(readCompletedOnboarding(m_context.settings))
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

bool MainView::readCompletedOnboarding(const Settings& settings)
{
    return settings.flag(Settings::Key::HasCompletedOnboarding, false);
}

void MainView::completeOnboarding()
{
    m_hasCompletedOnboarding = true;
    // The dashboard is shown all the same; the onboarding simply comes back on the next launch.
    if (m_context.settings.write(Settings::Key::HasCompletedOnboarding, true) != Settings::Saved::Saved)
        console::line(QStringLiteral("Could not save the settings file ") + m_context.settings.path());
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
        const auto completed = [this] { completeOnboarding(); };
        m_permission = new OnboardingView(m_context, completed, this);
        layout()->addWidget(m_permission);
    }
}

} // namespace quillmote::ui
