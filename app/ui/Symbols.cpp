// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/Symbols.h"

#include "app/ui/Fonts.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace quillmote::ui {

namespace {
void paintSymbol(QPainter& p, Symbol symbol, const QColor& color, const QRectF& r)
{
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = r.width();
    const QPointF c = r.center();
    QPen pen(color, s * 0.09, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (symbol) {
    case Symbol::CheckCircle: {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(r.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04));
        QPainterPath tick;
        tick.moveTo(r.left() + s * 0.28, r.top() + s * 0.52);
        tick.lineTo(r.left() + s * 0.44, r.top() + s * 0.68);
        tick.lineTo(r.left() + s * 0.73, r.top() + s * 0.36);
        p.setPen(QPen(Qt::white, s * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
        break;
    }
    case Symbol::Warning: {
        QPainterPath triangle;
        triangle.moveTo(c.x(), r.top() + s * 0.08);
        triangle.lineTo(r.right() - s * 0.04, r.bottom() - s * 0.1);
        triangle.lineTo(r.left() + s * 0.04, r.bottom() - s * 0.1);
        triangle.closeSubpath();
        p.setPen(QPen(color, s * 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(color);
        p.drawPath(triangle);
        p.setPen(QPen(Qt::black, s * 0.1, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(c.x(), r.top() + s * 0.38), QPointF(c.x(), r.top() + s * 0.62));
        p.drawPoint(QPointF(c.x(), r.top() + s * 0.76));
        break;
    }
    case Symbol::Circle:
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(r.adjusted(s * 0.15, s * 0.15, -s * 0.15, -s * 0.15));
        break;
    case Symbol::CircleFilled:
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(r.adjusted(s * 0.12, s * 0.12, -s * 0.12, -s * 0.12));
        break;
    case Symbol::Pointer: {
        QPainterPath arrow;
        arrow.moveTo(r.left() + s * 0.25, r.top() + s * 0.1);
        arrow.lineTo(r.left() + s * 0.25, r.top() + s * 0.8);
        arrow.lineTo(r.left() + s * 0.42, r.top() + s * 0.63);
        arrow.lineTo(r.left() + s * 0.55, r.top() + s * 0.9);
        arrow.lineTo(r.left() + s * 0.66, r.top() + s * 0.85);
        arrow.lineTo(r.left() + s * 0.53, r.top() + s * 0.58);
        arrow.lineTo(r.left() + s * 0.76, r.top() + s * 0.58);
        arrow.closeSubpath();
        p.setPen(QPen(color, s * 0.05, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(color);
        p.drawPath(arrow);
        break;
    }
    case Symbol::Network:
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        for (int i = 1; i <= 3; ++i) {
            const qreal radius = s * 0.14 * i + s * 0.02;
            const QRectF arc(c.x() - radius, r.top() + s * 0.78 - radius, radius * 2, radius * 2);
            p.drawArc(arc, 45 * 16, 90 * 16);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QPointF(c.x(), r.top() + s * 0.78), s * 0.07, s * 0.07);
        break;
    }
}

// Draws the symbol afresh at whatever size and scale the icon is asked for.
class SymbolEngine : public QIconEngine
{
public:
    SymbolEngine(Symbol symbol, const QColor& color) : m_symbol(symbol), m_color(color) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QColor color = m_color;
        if (mode == QIcon::Disabled)
            color.setAlphaF(0.4);
        paintSymbol(*painter, m_symbol, color, QRectF(rect));
    }
    // The default would start from an uninitialised, opaque pixmap.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        image.setDevicePixelRatio(scale);
        QPainter painter(&image);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        painter.end();
        return QPixmap::fromImage(std::move(image));
    }
    QIconEngine* clone() const override { return new SymbolEngine(m_symbol, m_color); }

private:
    Symbol m_symbol;
    QColor m_color;
};
} // namespace

QIcon symbolIcon(Symbol symbol, const QColor& color)
{
    return QIcon(new SymbolEngine(symbol, color));
}

SymbolLabel::SymbolLabel(Symbol symbol, const QColor& color, int size, QWidget* parent)
    : QLabel(parent), m_symbol(symbol), m_color(color), m_size(size)
{
    setFixedSize(size, size);
    setSymbol(symbol, color);
}

void SymbolLabel::setSymbol(Symbol symbol, const QColor& color)
{
    // Views re-render on every poll; an unchanged symbol must not repaint.
    if (symbol == m_symbol && color == m_color && !pixmap().isNull())
        return;
    m_symbol = symbol;
    m_color = color;
    setPixmap(symbolIcon(symbol, color).pixmap(QSize(m_size, m_size), devicePixelRatioF()));
}

QIcon applicationIcon()
{
    const QIcon icon(QStringLiteral(":/icons/AppIcon.svg"));
    if (!icon.availableSizes().isEmpty() || !icon.pixmap(64).isNull())
        return icon;
    return QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
}

QLabel* addWarningLine(QBoxLayout* layout, QWidget* parent)
{
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    auto* text = new QLabel(parent);
    text->setFont(fonts::caption());
    text->setWordWrap(true);
    line->addWidget(new SymbolLabel(Symbol::Warning, colors::orange, 14, parent), 0, Qt::AlignTop);
    line->addWidget(text, 1);
    layout->addLayout(line);
    return text;
}

} // namespace quillmote::ui
