// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/PairingAttemptsNotice.h"

#include "app/ui/Fonts.h"
#include "app/ui/Symbols.h"
#include "server/PairingGate.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmote::ui {

PairingAttemptsNotice::PairingAttemptsNotice(PairingGate& gate, QWidget* parent) : QWidget(parent)
{
    // Text above the button, so that it fits the narrow panel as well as the window.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_text = addWarningLine(layout, this);
    m_newCode = new QPushButton(tr("生成新配对码"), this);
    m_newCode->setFont(fonts::caption());
    connect(m_newCode, &QPushButton::clicked, &gate, &PairingGate::drawNewPairingCode);
    layout->addWidget(m_newCode, 0, Qt::AlignHCenter);
    connect(&gate, &PairingGate::failedPairingAttemptsChanged, this, &PairingAttemptsNotice::render);
    render(gate.failedPairingAttempts());
}

void PairingAttemptsNotice::render(int count)
{
    m_text->setText(tr("最近一分钟内有 %1 次配对失败").arg(count));
    setVisible(count > 0);
}

} // namespace quillmote::ui
