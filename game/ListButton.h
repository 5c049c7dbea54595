// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <array>

class GameScreen;

// Raises Level by one and puts a random question of that level on the screen,
// its answers dealt onto A to D in random order. Refuses to go past 15.
void ShowQuestion(GameScreen& screen, std::array<qint32, 7>& CurrentQuestion, qint16& Level);
