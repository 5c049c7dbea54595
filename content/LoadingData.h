// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>
#include <functional>

enum class BankStatus { Loaded, Missing, Damaged };
// What the loader is doing when it reports a piece of work done.
enum class LoadStep { Reading, Descrambling, Splitting };

namespace LoadingData
{

// Reads AppPath + "questions.qvr" into Questions. Missing (or unreadable) and
// damaged banks are told apart so that start-up can report them. The event
// loop gets a turn about every 10 ms of the work, so that the splash window
// keeps repainting while a large bank loads.
BankStatus LoadQuestions();
// The same, calling `afterPiece` after every piece (kLoadPiece bytes) read,
// descrambled or split instead.
BankStatus LoadQuestions(const std::function<void(LoadStep)>& afterPiece);
// Every level the game presents must have a question it can show.
bool BankIsPlayable();

void BuildLevelNames();
void BuildPrizes();

} // namespace LoadingData

extern std::array<QString, 17> LevelNames;
extern std::array<qint32, 17> Prizes;
