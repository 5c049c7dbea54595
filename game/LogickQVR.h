// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

class GameScreen;

// Outcomes of a judged answer. RightAnswer returns -1 (true) when the caller
// must show the next question at once (after questions 5 and 10), else 0.
int RightAnswer(GameScreen& screen, qint16& Level);
void WrongAnswer(GameScreen& screen, qint16& Level);
void Victory(GameScreen& screen);
