// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/ui/ViewContext.h"

#include <QPointer>
#include <QWidget>

namespace quillmote::ui {

class DashboardView;
class OnboardingView;

// The main window's content: the onboarding until it is completed once, the dashboard from
// then on. The choice is kept in the settings under "hasCompletedOnboarding".
class MainView : public QWidget
{
    Q_OBJECT
public:
    explicit MainView(ViewContext context, QWidget* parent = nullptr);

    OnboardingView* permissionView() const;
    DashboardView* dashboardView() const;

    void completeOnboarding();

    static bool readCompletedOnboarding(const Settings& settings);

private:
    void showCurrentView();

    ViewContext m_context;
    bool m_hasCompletedOnboarding;
    QPointer<OnboardingView> m_permission;
    QPointer<DashboardView> m_dashboard;
};

} // namespace quillmote::ui
