// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <array>

// Raises Level by one and puts a random question of that level on the main
// window, its answers dealt onto A to D in random order. Refuses to go past 15.
void ShowQuestion(std::array<qint32, 7>& CurrentQuestion, qint16& Level);
