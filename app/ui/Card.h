// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QColor>
#include <QWidget>

class QFrame;

namespace quillmote::ui {

// A thin horizontal rule between sections.
QFrame* makeDivider(QWidget* parent);

// A rounded panel in the palette's base colour with a faint shadow line, as the desktop
// draws grouped content.
class Card : public QWidget
{
    Q_OBJECT
public:
    explicit Card(int radius, QWidget* parent = nullptr);
    // Fill with a colour of its own instead of the palette's base (with its alpha).
    void setFill(const QColor& fill, const QColor& outline = {});

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_radius;
    QColor m_fill;
    QColor m_outline;
};

} // namespace quillmote::ui
