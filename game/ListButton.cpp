// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/ListButton.h"

#include "app/Random.h"
#include "app/frmMain.h"
#include "content/LoadingData.h"
#include "content/QuestionBank.h"

void ShowQuestion(std::array<qint32, 7>& CurrentQuestion, qint16& Level)
{
    frmMain* f = MainWindow();
    if (!f || Level < 0 || Level >= 15) return;

    ++Level;
    const int L = Level;
    f->ButtOK->hide();
    for (int i = 0; i <= 5; ++i) {
        CurrentQuestion[i] = 0;
        if (i <= 3) {
            f->ButtKey[i]->show();
            f->ButtKey[i]->setBackColor(QColor(0, 255, 0));
        }
    }

    // Only questions that can be shown and answered are drawn, the last one included.
    const int q = std::max(0, Questions.draw(L - 1, Rnd()));
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

    static const char* const prefixes[4] = {"A: ", "B: ", "C: ", "D: "};
    for (int k = 1; k <= 4; ++k)
        f->ButtKey[k - 1]->setText(QString::fromLatin1(prefixes[k - 1]) +
                                   Questions(L - 1, CurrentQuestion[k], q));

    f->Infol->setText(LevelNames[0] + LevelNames[L] + QStringLiteral(" и на кону ") +
                      QString::number(Prizes[L]) + QStringLiteral(" рублей."));
    f->Infot->setPlainText(Questions(L - 1, 0, q));
    f->PictButt->setEnabled(true);
    f->PictButt->show();
    f->MnuCom->menuAction()->setVisible(true);
}
