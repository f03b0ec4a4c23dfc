// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "app/ui/Card.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace quillmote::web {
class WebRemote;
}

namespace quillmote::ui {

// The browser remote in the dashboard: the link's QR code for the phone's camera, the link
// under it, "New link", and the switch that turns the browser remote on and off.
class WebRemoteCard : public Card
{
    Q_OBJECT
public:
    explicit WebRemoteCard(web::WebRemote& remote, QWidget* parent = nullptr);

    QLabel* qrLabel() const { return m_qr; }
    QLabel* linkLabel() const { return m_link; }
    QPushButton* newLinkButton() const { return m_newLink; }
    QCheckBox* enabledSwitch() const { return m_enabled; }

private:
    void render();

    web::WebRemote& m_remote;
    QLabel* m_qr;
    QLabel* m_link;
    QLabel* m_hint;
    QPushButton* m_newLink;
    QCheckBox* m_enabled;
};

} // namespace quillmote::ui
