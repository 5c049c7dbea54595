// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ColourButton.h"

#include "base/TextFit.h"

ColourButton::ColourButton(QWidget* parent) : QPushButton(parent)
{
    setBackColor(Qt::white);
}

void ColourButton::setBackColor(const QColor& colour)
{
    colour_ = colour;
    // The focus frame must stay visible on every face colour. TextFit counts the
    // focus border and the padding out of an answer caption's room.
    setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: black;"
                       " border: 2px solid #202020; border-radius: 4px; padding: 2px %2px; }"
                       "QPushButton:focus { border: %3px dashed #ff00ff; }"
                       "QPushButton:pressed { border-style: inset; }"
                       "QPushButton:disabled { color: #202020; }")
            .arg(colour.name())
            .arg(TextFit::kButtonPadding)
            .arg(TextFit::kButtonFocusBorder));
}
