// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/LogickQVR.h"

#include "content/LoadingData.h"
#include "game/GameScreen.h"
#include "sound/QVRPlayFiles.h"

#include <QThread>

int RightAnswer(GameScreen& screen, qint16& Level)
{
    screen.setInfoVisible(false);
    screen.setHeading(QStringLiteral("Поздравляю!  Это верный ответ!"));
    screen.setText(QStringLiteral("Вы выграли %1 рублей!").arg(Prizes[Level]));
    // The two lines blink off and on; nothing else of the game may run meanwhile.
    QThread::msleep(100);
    screen.setInfoVisible(true);
    screen.focusText();
    PlayEffect(2);
    screen.setPanelVisible(false);
    switch (Level) {
    case 5:
    case 10:
        screen.showResult(Level == 5 ? QStringLiteral("Вы выигрываете первую незгараемую сумму.")
                                     : QStringLiteral("Вы выигрываете вторую незгараемую сумму."),
                          QStringLiteral("ПОЗДРАВЛЯЮ!"));
        PlayEffect(0);
        screen.endResult();
        break;
    case 15:
        Victory(screen);
        return 0;
    default:
        screen.setContinueVisible(true);
        screen.focusContinue();
        break;
    }
    PlayMusic(Level / 5 + 4);
    return Level == 5 || Level == 10 ? -1 : 0;
}

void WrongAnswer(GameScreen& screen, qint16& Level)
{
    screen.showResult(QStringLiteral("К сожалению, вы проиграли."), QStringLiteral("ПОРАЖЕНИЕ!"));
    PlayEffect(3);
    screen.setActionsMenuVisible(false);
    screen.setPanelVisible(false);
    if (Level >= 1 && Level <= 5) {
        screen.setHeading(QStringLiteral("Вы уходите ни с чем."));
        screen.setText(
            QStringLiteral("Вы проиграли, но не расстраивайтесь. Можно же начать сначала!"));
    } else if (Level >= 6 && Level <= 10) {
        screen.setHeading(QStringLiteral("Вы выграли 2000 рублей."));
        screen.setText(QStringLiteral("Этого, разумеется, мало. Но можно же начать сначала!"));
    } else if (Level >= 11 && Level <= 15) {
        screen.setHeading(QStringLiteral("Вы выграли 64000 рублей."));
        screen.setText(
            QStringLiteral("Хоть что-то. Можно и отпразновать, а потом начать сначала."));
    }
    screen.endResult();
    PlayMusic(7);
}

void Victory(GameScreen& screen)
{
    screen.showResult(QStringLiteral("Вы выграли 2000000 рублей, вместа одного обещеного!"),
                      QStringLiteral("ПОБЕДА!"));
    PlayEffect(11);
    screen.setHeading(QStringLiteral("Неплохо заработал, умник!"));
    screen.setText(QStringLiteral("    Можно начать всё с начала, если есть желание, разумеется."));
    screen.setActionsMenuVisible(false);
    screen.endResult();
    PlayMusic(7);
}
