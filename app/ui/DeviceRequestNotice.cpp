// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/DeviceRequestNotice.h"

#include "app/ui/Fonts.h"
#include "app/ui/Symbols.h"
#include "server/DeviceApproval.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmote::ui {

DeviceRequestNotice::DeviceRequestNotice(DeviceApproval& approval, QWidget* parent)
    : QWidget(parent), m_approval(approval)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_text = addWarningLine(layout, this);
    auto* buttons = new QHBoxLayout;
    m_deny = new QPushButton(tr("拒绝"), this);
    m_allow = new QPushButton(tr("允许"), this);
    for (QPushButton* button : {m_deny, m_allow}) {
        button->setFont(fonts::caption());
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    connect(m_allow, &QPushButton::clicked, this, [this] { m_approval.answer(m_shown, true); });
    connect(m_deny, &QPushButton::clicked, this, [this] { m_approval.answer(m_shown, false); });
    connect(&approval, &DeviceApproval::requested, this, &DeviceRequestNotice::render);
    connect(&approval, &DeviceApproval::settled, this, &DeviceRequestNotice::render);
    render();
}

void DeviceRequestNotice::render()
{
    const QList<DeviceApproval::Request> requests = m_approval.requests();
    m_shown = requests.isEmpty() ? 0 : requests.constFirst().id;
    if (!requests.isEmpty()) {
        const QString question =
            tr("允许 %1 控制这台电脑？它发来了正确的配对码。").arg(requests.constFirst().description());
        m_text->setText(requests.size() == 1
                            ? question
                            : question + tr("（还有 %1 个设备在等待）").arg(requests.size() - 1));
    }
    setVisible(!requests.isEmpty());
}

} // namespace quillmote::ui
