// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QTextOption>

class QWidget;

namespace Look
{

// Layouts are given in twips; 15 twips make one device-independent pixel.
constexpr int px(int twips)
{
    return (twips + 7) / 15;
}
inline QRect rect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// Arial where installed, else a metric-compatible substitute (Liberation Sans).
QFont font(double points, bool bold = false);

// Solid background (and text) colour that survives every widget style.
void paint(QWidget* widget, const QColor& background, const QColor& text = QColor());

// The fixed client size of a window that the player cannot resize.
void fixClientSize(QWidget* window, int widthTwips, int heightTwips);

// Height of plain `text` laid out as a text box lays it out: each paragraph
// wrapped to `width` with `wrap`, line under line.
qreal wrappedHeight(const QString& text, const QFont& font, qreal width,
                    QTextOption::WrapMode wrap);

// Centre `window` over `owner`, or on the screen without one.
void centre(QWidget* window, const QWidget* owner);

} // namespace Look
