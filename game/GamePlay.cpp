// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/GamePlay.h"

#include "content/QuestionBank.h"
#include "game/GameScreen.h"
#include "game/HintsGame.h"
#include "game/ListButton.h"
#include "game/LogickQVR.h"
#include "sound/QVRPlayFiles.h"

void GamePlay::NewGame()
{
    run([this] {
        screen_.setPanelVisible(false);
        screen_.setContinueVisible(false);
        screen_.setHeading(QString());
        screen_.setText(QString());
        screen_.announce(QStringLiteral("Желаю победы!"), QStringLiteral("Новая игра!"));
        PlayEffect(0);
        screen_.setLifelineEnabled(Lifeline::Fifty, true);
        screen_.setLifelineEnabled(Lifeline::Masters, true);
        screen_.setLifelineEnabled(Lifeline::Referendum, true);
        screen_.endAnnouncement();
        Level = 0;
        inGame_ = true;
        PlayMusic(4);
        ShowQuestion(screen_, CurrentQuestion, Level);
    });
}

void GamePlay::Answer(int button)
{
    run([this, button] {
        screen_.setAnswerColour(button, AnswerColour::Accepted);
        screen_.setHeading(QStringLiteral("Ответ принят:"));
        screen_.setText(QString(8, u' ') + QChar(u'A' + button) + QStringLiteral(": ") +
                        Questions(Level - 1, CurrentQuestion[button + 1], CurrentQuestion[0]));
        screen_.setPanelEnabled(false);
        screen_.focusText();
        PlayEffect(1);
        if (leaving_) return;
        if (button + 1 == CurrentQuestion[5]) {
            screen_.setAnswerColour(button, AnswerColour::Right);
            if (Level == 15) inGame_ = false;
            if (RightAnswer(screen_, Level)) ShowQuestion(screen_, CurrentQuestion, Level);
        } else {
            screen_.setAnswerColour(button, AnswerColour::Wrong);
            // A lost game is over, also when it was lost from the pause before
            // "Продолжим?": nothing can bring it back.
            inGame_ = false;
            screen_.setContinueVisible(false);
            WrongAnswer(screen_, Level);
        }
    });
}

void GamePlay::AnswerItem(int button)
{
    if (screen_.answerVisible(button)) Answer(button);
}

void GamePlay::Continue()
{
    if (!inGame_) return;
    run([this] { ShowQuestion(screen_, CurrentQuestion, Level); });
}

void GamePlay::Fifty()
{
    run([this] {
        screen_.setLifelineEnabled(Lifeline::Fifty, false);
        HintFifty(screen_, CurrentQuestion);
    });
}

void GamePlay::Referendum()
{
    reportedLifeline(Lifeline::Referendum, HintReferendum,
                     QStringLiteral("Результаты референдума"));
}

void GamePlay::Masters()
{
    reportedLifeline(Lifeline::Masters, HintMasters,
                     QStringLiteral("Заключение магистров таково:"));
}

void GamePlay::reportedLifeline(Lifeline lifeline, Hint hint, const QString& title)
{
    run([&] {
        screen_.setPanelVisible(false);
        screen_.setLifelineEnabled(lifeline, false);
        const QString text = hint(screen_, CurrentQuestion, Level);
        screen_.message(text, 130, title);
        screen_.setPanelVisible(true);
    });
}
