// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/ui/ViewContext.h"
#include "input/InputAccess.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLayout;
class QPushButton;

namespace quillmote::ui {

class PermissionRow;

// The first-run view: whether input may be posted and whether the server listens, and the
// button that completes the onboarding once input may be posted and the server listens
// (advertised or not). Both rows follow what the server and the input backend report; the
// server is started a second after the view first appears.
class OnboardingView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int firstCheckDelayMs = 1000;
    static constexpr int networkRecheckDelayMs = 2000;

    OnboardingView(ViewContext context, std::function<void()> onComplete, QWidget* parent = nullptr);

    // Input access granted, and the server either advertised or listening without avahi-daemon.
    bool canStart() const;
    PermissionRow* accessibilityRow() const { return m_accessibilityRow; }
    PermissionRow* networkRow() const { return m_networkRow; }
    QPushButton* startButton() const { return m_startButton; }
    QLabel* serviceNotice() const { return m_serviceNotice; }

    // Reads both permissions again, and starts the server when it has no listener.
    void tick();
    void checkNetwork();
    void requestNetwork();
    void openAccessibilitySettings();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLayout* buildHeader();
    QWidget* buildPermissionCard();
    QLayout* buildStartButton();
    void refreshAccess();
    void refreshNetwork();
    void render();
    // What the network row says: what it is for, or what the user's last check found.
    QString networkFinding() const;

    ViewContext m_context;
    std::function<void()> m_onComplete;
    bool m_firstCheckScheduled = false;
    bool m_accessibilityGranted = false;
    input::InputAccess::State m_access = input::InputAccess::State::Unavailable;
    bool m_networkGranted = false;
    bool m_isCheckingNetwork = false;
    bool m_networkChecked = false;
    PermissionRow* m_accessibilityRow;
    PermissionRow* m_networkRow;
    QPushButton* m_startButton;
    QLabel* m_serviceNotice = nullptr;
};

} // namespace quillmote::ui
