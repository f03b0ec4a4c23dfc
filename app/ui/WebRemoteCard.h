// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QTextEdit;
class QPushButton;

namespace quillmote::web {
class WebRemote;
}

namespace quillmote::ui {

// The browser remote beside the dashboard's code: the link's QR code for the phone's camera, the
// whole link under it, "New link", and the switch that turns the browser remote on and off. A column
// of its own, so that the window grows wider rather than taller than small screens allow.
class WebRemoteCard : public QWidget
{
    Q_OBJECT
public:
    static constexpr int columnWidth = 180;

    explicit WebRemoteCard(web::WebRemote& remote, QWidget* parent = nullptr);

    QLabel* qrLabel() const { return m_qr; }
    QTextEdit* linkField() const { return m_link; }
    QPushButton* newLinkButton() const { return m_newLink; }
    QCheckBox* enabledSwitch() const { return m_enabled; }

private:
    void render();

    web::WebRemote& m_remote;
    QCheckBox* m_enabled;
    QLabel* m_qr;
    QLabel* m_hint;
    QTextEdit* m_link;
    QPushButton* m_newLink;
};

} // namespace quillmote::ui
