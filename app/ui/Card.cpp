// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/Card.h"

#include <QFrame>
#include <QPainter>
#include <QPainterPath>

namespace quillmote::ui {

QFrame* makeDivider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

Card::Card(int radius, QWidget* parent) : QWidget(parent), m_radius(radius) {}

void Card::setFill(const QColor& fill, const QColor& outline)
{
    if (fill == m_fill && outline == m_outline)
        return;
    m_fill = fill;
    m_outline = outline;
    update();
}

void Card::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    if (!m_fill.isValid()) {
        // A shadow of one point under the card.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 40));
        p.drawRoundedRect(r.translated(0, 1), m_radius, m_radius);
    }
    p.setBrush(m_fill.isValid() ? m_fill : palette().color(QPalette::Base));
    p.setPen(m_outline.isValid() ? QPen(m_outline, 1) : Qt::NoPen);
    p.drawRoundedRect(r, m_radius, m_radius);
}

} // namespace quillmote::ui
