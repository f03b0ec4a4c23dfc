// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QVBoxLayout;

namespace quillmote {
class KnownDevices;
}

namespace quillmote::ui {

// The devices that paired with the code, each with where and when it was last seen and a button
// that removes it (it is cut off, and asked about again), and the switch for asking at all.
class DevicesDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DevicesDialog(KnownDevices& devices, QWidget* parent = nullptr);

    QCheckBox* askSwitch() const { return m_ask; }
    // One row per device, the latest seen first.
    QList<QWidget*> rows() const { return m_rows; }

private:
    void render();

    KnownDevices& m_devices;
    QCheckBox* m_ask;
    QLabel* m_empty;
    QVBoxLayout* m_list;
    QList<QWidget*> m_rows;
};

} // namespace quillmote::ui
