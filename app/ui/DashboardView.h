// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/ui/ViewContext.h"
#include "input/InputAccess.h"

#include <QColor>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLayout;
class QPushButton;
class QVBoxLayout;

namespace quillmote::ui {

class DeviceRequestNotice;
class PairingAttemptsNotice;
class WebRemoteCard;

// A filled circle with a soft glow, for the connection state.
class StatusLight : public QWidget
{
    Q_OBJECT
public:
    explicit StatusLight(QWidget* parent = nullptr);
    void setColors(const QColor& light, const QColor& glow);
    QColor glow() const { return m_glow; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_light;
    QColor m_glow;
};

// The main window once onboarding is done: the pairing code, the connection state, a warning
// while input cannot be posted, the version, and the home page and quit buttons. It never
// starts the server.
class DashboardView : public QWidget
{
    Q_OBJECT
public:
    static constexpr char fallbackVersion[] = "1.0.9";

    explicit DashboardView(ViewContext context, QWidget* parent = nullptr);

    bool hasPermission() const { return m_hasPermission; }
    QString statusText() const;
    QLabel* codeLabel() const { return m_code; }
    QLabel* statusLabel() const { return m_status; }
    QLabel* versionLabel() const { return m_version; }
    QPushButton* warningButton() const { return m_warning; }
    QPushButton* homePageButton() const { return m_homePage; }
    // How to get the window back once closed: from the tray, or where there is none, by
    // launching Quillmote again.
    QLabel* closeHint() const { return m_closeHint; }
    QPushButton* quitButton() const { return m_quit; }
    PairingAttemptsNotice* attemptsNotice() const { return m_attempts; }
    // Null without an approval, like the button that opens the list of devices.
    DeviceRequestNotice* deviceRequestNotice() const { return m_deviceRequest; }
    QPushButton* devicesButton() const { return m_devices; }
    QCheckBox* loginStartSwitch() const { return m_loginStart; }
    // Shown while the login start runs a program in a build folder.
    QLabel* loginStartNote() const { return m_loginStartNote; }
    QLabel* addressLabel() const { return m_address; }
    QLabel* serviceNotice() const { return m_serviceNotice; }
    // Null without a browser remote.
    WebRemoteCard* webRemoteCard() const { return m_webRemote; }

    void refreshPermission();
    void requestPermission();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QLayout* buildCodeBlock(QWidget* parent);
    QWidget* buildStatusCapsule(QWidget* parent);
    void buildWarningAndLoginStart(QWidget* parent, QVBoxLayout* layout);
    void renderLoginStartNote();
    QWidget* buildApplicationRow();
    QWidget* buildFooter();
    void render();

    ViewContext m_context;
    bool m_hasPermission = false;
    QLabel* m_code;
    StatusLight* m_light;
    QLabel* m_status;
    QPushButton* m_warning;
    input::InputAccess::State m_access = input::InputAccess::State::Unavailable;
    QLabel* m_version;
    QPushButton* m_homePage;
    QLabel* m_closeHint;
    QPushButton* m_quit;
    PairingAttemptsNotice* m_attempts;
    DeviceRequestNotice* m_deviceRequest = nullptr;
    QPushButton* m_devices = nullptr;
    QCheckBox* m_loginStart;
    QLabel* m_loginStartNote;
    QLabel* m_address;
    QLabel* m_serviceNotice;
    WebRemoteCard* m_webRemote = nullptr;
};

} // namespace quillmote::ui
