// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// FRMG: greeting and hint window. Opens over the active window, disables it,
// returns at once; VelNot closes it and gives the owner back its focus.
void Velcom(const QString& vText, const QString& vForm);
void VelNot();

// FRMC: result window, the same protocol.
void Congratulation(const QString& cvText, const QString& cvForm);
void ConNot();
