// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>
#include <functional>

class GameScreen;

// Fifty-fifty: hides two wrong answers of the question on screen.
void HintFifty(GameScreen& screen, const std::array<qint32, 7>& CurrentQuestion);
QString HintReferendum(GameScreen& screen, const std::array<qint32, 7>& CurrentQuestion,
                       qint16 Level);
QString HintMasters(GameScreen& screen, const std::array<qint32, 7>& CurrentQuestion, qint16 Level);

namespace HintsGame
{

// The draws behind the lifelines, apart from their windows and sounds.
// Flags of the buttons still shown after two wrong answers are removed;
// `afterFirst` runs right after the first removal, `afterDraw` after every draw.
std::array<bool, 4> FiftyDraw(int correctButton, const std::function<void()>& afterFirst = {},
                              const std::function<void()>& afterDraw = {});
// Shares of the answers 1..4 (index 0 only when no answer is right); they add
// up to 100, the last answer served taking what the draws left over.
std::array<qint16, 5> ReferendumShares(int correctButton, qint16 level);
QString ReferendumText(const std::array<qint16, 5>& shares);
int MastersProbability(qint16 level);
QString MastersText(int correctButton, int probability);

} // namespace HintsGame
