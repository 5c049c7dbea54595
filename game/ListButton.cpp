// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/ListButton.h"

#include "base/Random.h"
#include "base/TextFit.h"
#include "content/LoadingData.h"
#include "content/QuestionBank.h"
#include "game/GameScreen.h"

namespace
{
// The questions of this run not yet shown, level by level.
Bank::QuestionDeck deck;
} // namespace

void ShowQuestion(GameScreen& screen, std::array<qint32, 7>& CurrentQuestion, qint16& Level)
{
    if (Level < 0 || Level >= 15) return;

    ++Level;
    const int L = Level;
    screen.setContinueVisible(false);
    for (int i = 0; i <= 5; ++i) {
        CurrentQuestion[i] = 0;
        if (i <= 3) {
            screen.setAnswerVisible(i, true);
            screen.setAnswerColour(i, AnswerColour::Open);
        }
    }

    // Only questions that can be shown and answered are drawn, the last one
    // included, and none again before the rest of its level has been shown.
    const int q = std::max(0, deck.deal(Questions, L - 1, Rnd));
    CurrentQuestion[0] = q;
    const int c = Bank::AnswerNumber(Questions(L - 1, 5, q));

    for (int k = 1; k <= 4; ++k) {
        for (;;) {
            const int h = static_cast<int>(Rnd() * 4) + 1;
            bool used = false;
            for (int j = 1; j < k; ++j)
                used = used || CurrentQuestion[j] == h;
            if (used) continue;
            CurrentQuestion[k] = h;
            if (h == c) CurrentQuestion[5] = k;
            break;
        }
    }

    for (int k = 1; k <= 4; ++k)
        screen.setAnswer(k - 1,
                         TextFit::AnswerCaption(k - 1, Questions(L - 1, CurrentQuestion[k], q)));

    screen.setHeading(LevelNames[0] + LevelNames[L] + QStringLiteral(" и на кону ") +
                      QString::number(Prizes[L]) + QStringLiteral(" рублей."));
    screen.setText(Questions(L - 1, 0, q));
    screen.setPanelEnabled(true);
    screen.setPanelVisible(true);
    screen.setActionsMenuVisible(true);
}
