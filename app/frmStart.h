// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QWidget>

// The splash window shown while the game loads.
class frmStart : public QWidget
{
    Q_OBJECT
  public:
    frmStart();
    QLabel* Label1;
};
