// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/DevicesDialog.h"

#include "app/ui/Fonts.h"
#include "server/KnownDevices.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quillmote::ui {

DevicesDialog::DevicesDialog(KnownDevices& devices, QWidget* parent) : QDialog(parent), m_devices(devices)
{
    setWindowTitle(tr("设备"));
    auto* layout = new QVBoxLayout(this);
    m_ask = new QCheckBox(tr("新设备配对前询问"), this);
    m_ask->setToolTip(tr("发来正确配对码但从未配对过的设备，须在这台电脑上允许后才能控制它。"));
    m_ask->setChecked(devices.asksAboutNewDevices());
    connect(m_ask, &QCheckBox::toggled, &devices, &KnownDevices::setAsksAboutNewDevices);
    layout->addWidget(m_ask);
    m_empty = new QLabel(tr("还没有设备用配对码配对过。"), this);
    m_empty->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_empty);
    m_list = new QVBoxLayout;
    layout->addLayout(m_list);
    layout->addStretch();
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(close);
    connect(&devices, &KnownDevices::changed, this, &DevicesDialog::render);
    render();
}

void DevicesDialog::render()
{
    const QSignalBlocker blocker(m_ask);
    m_ask->setChecked(m_devices.asksAboutNewDevices());
    qDeleteAll(m_rows);
    m_rows.clear();
    QList<Device> devices = m_devices.devices();
    std::sort(devices.begin(), devices.end(),
              [](const Device& a, const Device& b) { return a.lastSeen > b.lastSeen; });
    for (const Device& device : devices) {
        auto* row = new QWidget(this);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        QStringList where = device.addresses;
        if (!device.linkLayerAddress.isEmpty())
            where << device.linkLayerAddress;
        auto* text =
            new QLabel(tr("%1\n%2 · 上次连接 %3")
                           .arg(device.name, where.join(QStringLiteral(", ")),
                                QLocale().toString(device.lastSeen.toLocalTime(), QLocale::ShortFormat)),
                       row);
        text->setFont(fonts::caption());
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* remove = new QPushButton(tr("移除"), row);
        remove->setAccessibleName(tr("移除 %1").arg(device.name));
        connect(remove, &QPushButton::clicked, this, [this, id = device.id] {
            // Queued: the row that holds this button goes away with the list.
            const auto removeDevice = [this, id] { m_devices.remove(id); };
            QMetaObject::invokeMethod(this, removeDevice, Qt::QueuedConnection);
        });
        line->addWidget(text, 1);
        line->addWidget(remove);
        m_list->addWidget(row);
        m_rows << row;
    }
    m_empty->setVisible(m_rows.isEmpty());
}

} // namespace quillmote::ui
