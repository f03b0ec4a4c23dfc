// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QColor>
#include <QIcon>
#include <QLabel>

class QBoxLayout;

namespace quillmote::ui {

// The few symbols the views use, drawn here so that they look the same under every icon theme.
enum class Symbol { CheckCircle, Warning, Circle, CircleFilled, Pointer, Network };

QIcon symbolIcon(Symbol symbol, const QColor& color);

// A symbol at a fixed size, in one colour.
class SymbolLabel : public QLabel
{
    Q_OBJECT
public:
    SymbolLabel(Symbol symbol, const QColor& color, int size, QWidget* parent = nullptr);
    void setSymbol(Symbol symbol, const QColor& color);
    Symbol symbol() const { return m_symbol; }
    QColor color() const { return m_color; }

private:
    Symbol m_symbol;
    QColor m_color;
    int m_size;
};

// An orange warning sign beside a caption that wraps, added to `layout`: the caption to fill in.
QLabel* addWarningLine(QBoxLayout* layout, QWidget* parent);

// The application's icon from the program's resources, or a generic computer when it is missing.
QIcon applicationIcon();

namespace colors {
inline const QColor green{0x34, 0xc7, 0x59};
inline const QColor orange{0xff, 0x95, 0x00};
inline const QColor red{0xff, 0x3b, 0x30};
inline const QColor yellow{0xff, 0xcc, 0x00};
inline const QColor blue{0x0a, 0x84, 0xff};
inline const QColor gray{0x8e, 0x8e, 0x93};
} // namespace colors

} // namespace quillmote::ui
