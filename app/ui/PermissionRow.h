// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/ui/Symbols.h"

#include <QWidget>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillmote::ui {

// One permission of the onboarding: what it is for, and whether it is granted, being
// checked, or waiting for the user (a button that runs the row's action).
class PermissionRow : public QWidget
{
    Q_OBJECT
public:
    enum class Status { Granted, Loading, Button };

    PermissionRow(const QString& title, const QString& description, Symbol icon, std::function<void()> action,
                  QWidget* parent = nullptr);

    void setGranted(bool granted);
    void setLoading(bool loading);
    void setDescription(const QString& description);
    QString description() const;
    // What the row shows on its right: the granted mark wins over the progress indicator.
    Status status() const;
    QPushButton* button() const { return m_button; }

private:
    void render();

    bool m_granted = false;
    bool m_loading = false;
    std::function<void()> m_action;
    QLabel* m_description = nullptr;
    SymbolLabel* m_check;
    QProgressBar* m_progress;
    QPushButton* m_button;
};

} // namespace quillmote::ui
