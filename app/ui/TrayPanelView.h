// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/ui/ViewContext.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLayout;
class QPushButton;

namespace quillmote::ui {

class PairingAttemptsNotice;
class SymbolLabel;

// The small panel that the tray icon opens: the pairing code, the full status line, the
// input-access state, a way back to the main window, and Quit (Ctrl+Q). Showing it starts
// the server when there is no listener yet.
class TrayPanelView : public QWidget
{
    Q_OBJECT
public:
    TrayPanelView(ViewContext context, std::function<void()> showMainWindow,
                  std::function<void()> dismissAction, QWidget* parent = nullptr);

    bool hasPermission() const { return m_hasPermission; }
    QLabel* versionLabel() const { return m_version; }
    QLabel* codeLabel() const { return m_code; }
    QLabel* statusLabel() const { return m_status; }
    SymbolLabel* statusSymbol() const { return m_statusSymbol; }
    QWidget* grantedLine() const { return m_granted; }
    QPushButton* permissionButton() const { return m_permissionButton; }
    QPushButton* quitButton() const { return m_quit; }
    PairingAttemptsNotice* attemptsNotice() const { return m_attempts; }
    QLabel* addressLabel() const { return m_address; }

    void refreshPermission();
    void requestPermission();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLayout* buildTitle();
    QWidget* buildCodeBox();
    QLayout* buildStatusRow();
    void buildPermissionLines(QLayout* layout);
    void render();

    ViewContext m_context;
    std::function<void()> m_showMainWindowAction;
    std::function<void()> m_dismissAction;
    bool m_hasPermission = false;
    QLabel* m_version;
    QPushButton* m_showMainWindow;
    QLabel* m_code;
    SymbolLabel* m_statusSymbol;
    QLabel* m_status;
    QWidget* m_granted;
    QPushButton* m_permissionButton;
    QPushButton* m_quit;
    PairingAttemptsNotice* m_attempts;
    QLabel* m_address;
};

} // namespace quillmote::ui
