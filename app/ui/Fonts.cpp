// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/Fonts.h"

#include <QApplication>
#include <QFontDatabase>

namespace quillmote::ui::fonts {

namespace {
QFont scaled(qreal factor, QFont::Weight weight = QFont::Normal)
{
    QFont font = QApplication::font();
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(base * factor);
    font.setWeight(weight);
    return font;
}
} // namespace

QFont title()
{
    return scaled(2.0, QFont::Bold);
}
QFont title2()
{
    return scaled(1.6);
}
QFont headline()
{
    return scaled(1.0, QFont::DemiBold);
}
QFont body()
{
    return scaled(1.0);
}
QFont subheadline()
{
    return scaled(0.95, QFont::Medium);
}
QFont caption()
{
    return scaled(0.85);
}
QFont caption2()
{
    return scaled(0.8);
}
QFont code(int pixelSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Bold);
    return font;
}

} // namespace quillmote::ui::fonts
