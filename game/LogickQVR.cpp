// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/LogickQVR.h"

#include "app/frmMain.h"
#include "content/LoadingData.h"
#include "dialogs/Announcements.h"
#include "sound/QVRPlayFiles.h"

#include <QThread>

int RightAnswer(qint16& Level)
{
    frmMain* f = MainWindow();
    f->Infol->hide();
    f->Infot->hide();
    f->Infol->setText(QStringLiteral("Поздравляю!  Это верный ответ!"));
    f->Infot->setPlainText(QStringLiteral("Вы выграли %1 рублей!").arg(Prizes[Level]));
    // The two lines blink off and on; nothing else of the game may run meanwhile.
    QThread::msleep(100);
    f->Infol->show();
    f->Infot->show();
    f->Infot->setFocus();
    PlayEffect(2);
    f->PictButt->hide();
    switch (Level) {
    case 5:
    case 10:
        Congratulation(Level == 5 ? QStringLiteral("Вы выигрываете первую незгараемую сумму.")
                                  : QStringLiteral("Вы выигрываете вторую незгараемую сумму."),
                       QStringLiteral("ПОЗДРАВЛЯЮ!"));
        PlayEffect(0);
        ConNot();
        break;
    case 15:
        Victory();
        return 0;
    default:
        f->ButtOK->show();
        f->ButtOK->setFocus();
        break;
    }
    PlayMusic(Level / 5 + 4);
    return Level == 5 || Level == 10 ? -1 : 0;
}

void WrongAnswer(qint16& Level)
{
    frmMain* f = MainWindow();
    Congratulation(QStringLiteral("К сожалению, вы проиграли."), QStringLiteral("ПОРАЖЕНИЕ!"));
    PlayEffect(3);
    f->MnuCom->menuAction()->setVisible(false);
    f->PictButt->hide();
    if (Level >= 1 && Level <= 5) {
        f->Infol->setText(QStringLiteral("Вы уходите ни с чем."));
        f->Infot->setPlainText(
            QStringLiteral("Вы проиграли, но не расстраивайтесь. Можно же начать сначала!"));
    } else if (Level >= 6 && Level <= 10) {
        f->Infol->setText(QStringLiteral("Вы выграли 2000 рублей."));
        f->Infot->setPlainText(
            QStringLiteral("Этого, разумеется, мало. Но можно же начать сначала!"));
    } else if (Level >= 11 && Level <= 15) {
        f->Infol->setText(QStringLiteral("Вы выграли 64000 рублей."));
        f->Infot->setPlainText(
            QStringLiteral("Хоть что-то. Можно и отпразновать, а потом начать сначала."));
    }
    ConNot();
    PlayMusic(7);
}

void Victory()
{
    frmMain* f = MainWindow();
    Congratulation(QStringLiteral("Вы выграли 2000000 рублей, вместа одного обещеного!"),
                   QStringLiteral("ПОБЕДА!"));
    PlayEffect(11);
    f->Infol->setText(QStringLiteral("Неплохо заработал, умник!"));
    f->Infot->setPlainText(
        QStringLiteral("    Можно начать всё с начала, если есть желание, разумеется."));
    f->MnuCom->menuAction()->setVisible(false);
    ConNot();
    PlayMusic(7);
}
