// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/ui/ViewContext.h"
#include "input/EventSink.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace quillmote::ui {

class PermissionRow;

// The first-run view: input access and the network, polled once a second while shown, and
// the start button once both are granted. Starts the server itself when it has no listener.
class OnboardingView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int pollIntervalMs = 1000;
    static constexpr int networkRecheckDelayMs = 2000;

    OnboardingView(ViewContext context, std::function<void()> onComplete, QWidget* parent = nullptr);

    bool accessibilityGranted() const { return m_accessibilityGranted; }
    bool networkGranted() const { return m_networkGranted; }
    bool isCheckingNetwork() const { return m_isCheckingNetwork; }
    bool isPolling() const { return m_timer.isActive(); }
    PermissionRow* accessibilityRow() const { return m_accessibilityRow; }
    PermissionRow* networkRow() const { return m_networkRow; }
    QPushButton* startButton() const { return m_startButton; }
    QLabel* serviceNotice() const { return m_serviceNotice; }

    void tick();
    void checkNetwork();
    void requestNetwork();
    void openAccessibilitySettings();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void render();

    ViewContext m_context;
    std::function<void()> m_onComplete;
    QTimer m_timer;
    bool m_accessibilityGranted = false;
    input::EventSink::Access m_access = input::EventSink::Access::Unavailable;
    bool m_networkGranted = false;
    bool m_isCheckingNetwork = false;
    PermissionRow* m_accessibilityRow;
    PermissionRow* m_networkRow;
    QPushButton* m_startButton;
    QLabel* m_serviceNotice = nullptr;
};

} // namespace quillmote::ui
