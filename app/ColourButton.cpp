// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ColourButton.h"

ColourButton::ColourButton(QWidget* parent) : QPushButton(parent)
{
    setBackColor(Qt::white);
}

void ColourButton::setBackColor(const QColor& colour)
{
    colour_ = colour;
    // The focus frame must stay visible on every face colour.
    setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: black;"
                       " border: 2px solid #202020; border-radius: 4px; padding: 2px 8px; }"
                       "QPushButton:focus { border: 3px dashed #ff00ff; }"
                       "QPushButton:pressed { border-style: inset; }"
                       "QPushButton:disabled { color: #202020; }")
            .arg(colour.name()));
}
