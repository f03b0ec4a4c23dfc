// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/MacMainView.h"

#include "app/ui/MacDashboardView.h"
#include "app/ui/MacPermissionView.h"
#include "server/Console.h"

#include <QSettings>
#include <QVBoxLayout>

namespace quillmote::ui {

MacMainView::MacMainView(ViewContext context, QWidget* parent)
    : QWidget(parent), m_context(std::move(context)),
      m_hasCompletedOnboarding(readCompletedOnboarding(m_context.settingsPath))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    showCurrentView();
}

MacPermissionView* MacMainView::permissionView() const
{
    return m_permission;
}

MacDashboardView* MacMainView::dashboardView() const
{
    return m_dashboard;
}

bool MacMainView::readCompletedOnboarding(const QString& settingsPath)
{
    const QSettings settings(settingsPath, QSettings::IniFormat);
    return settings.value(QLatin1String(onboardingKey), false).toBool();
}

void MacMainView::completeOnboarding()
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

void MacMainView::showCurrentView()
{
    if (m_hasCompletedOnboarding) {
        if (m_dashboard)
            return;
        if (m_permission) {
            // Hidden first so that its polling stops before it goes.
            m_permission->hide();
            m_permission->deleteLater();
        }
        m_dashboard = new MacDashboardView(m_context, true, this);
        layout()->addWidget(m_dashboard);
        m_dashboard->show();
    } else if (!m_permission) {
        m_permission = new MacPermissionView(
            m_context, [this] { completeOnboarding(); }, this);
        layout()->addWidget(m_permission);
    }
}

} // namespace quillmote::ui
