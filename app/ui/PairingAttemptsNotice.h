// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace quillmote {
class PairingGate;
}

namespace quillmote::ui {

// Shown while wrong pairing codes are arriving: how many in the last minute, and a button that
// draws a new code, for a user who suspects the code is being guessed or was seen.
class PairingAttemptsNotice : public QWidget
{
    Q_OBJECT
public:
    explicit PairingAttemptsNotice(PairingGate& gate, QWidget* parent = nullptr);

    QLabel* textLabel() const { return m_text; }
    QPushButton* newCodeButton() const { return m_newCode; }

private:
    void render(int count);

    QLabel* m_text;
    QPushButton* m_newCode;
};

} // namespace quillmote::ui
