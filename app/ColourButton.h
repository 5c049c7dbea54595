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
    void setBackColor(const QColor& colour);
    QColor backColor() const { return colour_; }

  private:
    QColor colour_;
};
