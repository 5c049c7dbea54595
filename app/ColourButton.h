// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPushButton>

// A push button with a solid face colour that every style respects.
class ColourButton : public QPushButton
{
    Q_OBJECT
  public:
    explicit ColourButton(QWidget* parent = nullptr);
    // Border (3 px with the focus) and padding (8 px) on both sides: what the
    // caption cannot use of the width.
    static constexpr int kHorizontalChrome = 2 * 3 + 2 * 8;
    void setBackColor(const QColor& colour);
    QColor backColor() const { return colour_; }

  private:
    QColor colour_;
};
