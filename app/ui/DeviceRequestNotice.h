// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace quillmote {
class DeviceApproval;
}

namespace quillmote::ui {

// Shown while a device that never paired waits with the right code: who it is, and the buttons
// that let it in or keep it out. The oldest question first; the others follow once it is answered.
class DeviceRequestNotice : public QWidget
{
    Q_OBJECT
public:
    explicit DeviceRequestNotice(DeviceApproval& approval, QWidget* parent = nullptr);

    QLabel* textLabel() const { return m_text; }
    QPushButton* allowButton() const { return m_allow; }
    QPushButton* denyButton() const { return m_deny; }

private:
    void render();

    DeviceApproval& m_approval;
    QLabel* m_text;
    QPushButton* m_allow;
    QPushButton* m_deny;
    int m_shown = 0;
};

} // namespace quillmote::ui
