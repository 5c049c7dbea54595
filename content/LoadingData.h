// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>

enum class BankStatus { Loaded, Missing, Damaged };

namespace LoadingData
{

// Reads AppPath + "questions.qvr" into Questions. Missing (or unreadable) and
// damaged banks are told apart so that start-up can report them.
BankStatus LoadQuestions();
// Every level the game presents must have a question it can show.
bool BankIsPlayable();

void BuildLevelNames();
void BuildPrizes();

} // namespace LoadingData

extern std::array<QString, 17> LevelNames;
extern std::array<qint32, 17> Prizes;
