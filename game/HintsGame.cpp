// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/HintsGame.h"

#include "base/Random.h"
#include "game/GameScreen.h"
#include "sound/QVRPlayFiles.h"

#include <QCoreApplication>
#include <cmath>

namespace HintsGame
{

std::array<bool, 4> FiftyDraw(int correctButton, const std::function<void()>& afterFirst,
                              const std::function<void()>& afterDraw)
{
    std::array<bool, 4> shown{true, true, true, true};
    int removed = 0;
    while (removed < 2) {
        const int k = static_cast<int>(std::floor(double(Rnd()) * 4));
        if (k + 1 != correctButton && shown[k]) {
            shown[k] = false;
            if (++removed == 1 && afterFirst) afterFirst();
        }
        if (afterDraw) afterDraw();
    }
    return shown;
}

std::array<qint16, 5> ReferendumShares(int correctButton, qint16 level)
{
    std::array<qint16, 5> share{};
    const int c = (correctButton >= 1 && correctButton <= 4) ? correctButton : 0;
    share[c] = static_cast<qint16>(std::floor(double(Rnd()) * (16 - level) * 5) + 26);
    int rest = 100 - share[c];
    int last = c;
    for (int i = 1; i <= 4 && rest != 0; ++i) {
        if (share[i] != 0) continue;
        share[i] = static_cast<qint16>(std::floor(double(Rnd()) * rest) + 1);
        rest -= share[i];
        last = i;
    }
    // A poll in percent adds up to 100: the last answer served takes what is left.
    share[last] = static_cast<qint16>(share[last] + rest);
    return share;
}

QString ReferendumText(const std::array<qint16, 5>& s)
{
    return QStringLiteral("A=%1%, B=%2%, \r\nC=%3%, D=%4%.")
        .arg(s[1])
        .arg(s[2])
        .arg(s[3])
        .arg(s[4]);
}

int MastersProbability(qint16 level)
{
    return static_cast<int>(std::floor((16 - level) * double(Rnd()) * 4) + 41);
}

QString MastersText(int correctButton, int probability)
{
    return QStringLiteral("Мы считаем, что правильный ответ ") +
           QChar(char16_t(correctButton + 64)) +
           QStringLiteral(".\r\nВероятность: %1%.").arg(probability);
}

} // namespace HintsGame

void HintFifty(GameScreen& screen, const std::array<qint32, 7>& CurrentQuestion)
{
    screen.announce(QStringLiteral("50 на 50"), QStringLiteral("Подсказка:"));
    const std::array<bool, 4> shown = HintsGame::FiftyDraw(
        CurrentQuestion[5], [] { PlayEffect(9); }, [] { QCoreApplication::processEvents(); });
    for (int k = 0; k < 4; ++k)
        screen.setAnswerVisible(k, shown[k]);
    screen.endAnnouncement();
    PlayMusic(CurrentTrack);
}

QString HintReferendum(GameScreen& screen, const std::array<qint32, 7>& CurrentQuestion,
                       qint16 Level)
{
    screen.showResult(QStringLiteral("Мы проводим референдум с населением планеты \"земля\"!"),
                      QStringLiteral("РЕФЕРЕНДУМ!"));
    PlayEffect(8);
    const QString text =
        HintsGame::ReferendumText(HintsGame::ReferendumShares(CurrentQuestion[5], Level));
    screen.endResult();
    PlayMusic(CurrentTrack);
    return text;
}

QString HintMasters(GameScreen& screen, const std::array<qint32, 7>& CurrentQuestion, qint16 Level)
{
    screen.showResult(QStringLiteral("Дорогие, магистры, помогите пожалуйста нам!"),
                      QStringLiteral("Помощь магистров"));
    PlayEffect(10);
    const int p = HintsGame::MastersProbability(Level);
    const QString text = HintsGame::MastersText(CurrentQuestion[5], p);
    screen.endResult();
    PlayMusic(CurrentTrack);
    return text;
}
