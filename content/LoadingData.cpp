// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/LoadingData.h"

#include "base/AppPath.h"
#include "content/OpinSaving.h"
#include "content/QuestionBank.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cmath>

std::array<QString, 17> LevelNames;
std::array<qint32, 17> Prizes{};

namespace
{
void letEventsRun()
{
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
}
} // namespace

namespace LoadingData
{

BankStatus LoadQuestions(const std::function<void(LoadStep)>& afterPiece)
{
    const auto during = [&afterPiece](LoadStep step) {
        return [&afterPiece, step] {
            if (afterPiece) afterPiece(step);
        };
    };
    std::optional<QByteArray> bytes =
        ReadFileBytes(AppPath + QStringLiteral("questions.qvr"), during(LoadStep::Reading));
    if (!bytes) {
        Questions.clear();
        return BankStatus::Missing;
    }
    QByteArray plain = Bank::PlainTextFromFile(std::move(*bytes), during(LoadStep::Descrambling));
    Questions.load(std::move(plain), during(LoadStep::Splitting));
    return BankIsPlayable() ? BankStatus::Loaded : BankStatus::Damaged;
}

BankStatus LoadQuestions()
{
    QElapsedTimer sinceTurn;
    sinceTurn.start();
    return LoadQuestions([&sinceTurn](LoadStep) {
        if (sinceTurn.elapsed() < 10) return;
        letEventsRun();
        sinceTurn.restart();
    });
}

bool BankIsPlayable()
{
    for (int level = 0; level < 15; ++level)
        if (Questions.playable(level).empty()) return false;
    return true;
}

void BuildLevelNames()
{
    static const char16_t* const names[16] = {
        u"Вопрос ",      u"первый:",      u"второй:",        u"третий:",
        u"четвёртый:",   u"пятый:",       u"шестой:",        u"седьмой:",
        u"восьмой:",     u"девятый:",     u"десятый:",       u"одинадцатый:",
        u"двенадцатый:", u"тринадцатый:", u"четырнадцатый:", u"пятнадцатый:"};
    for (int i = 0; i < 16; ++i)
        LevelNames[i] = QString::fromUtf16(names[i]);
}

void BuildPrizes()
{
    for (int i = 1; i <= 10; ++i)
        Prizes[i] = static_cast<qint32>(std::nearbyint(std::pow(2.0, i) * 125 / 2));
    for (int j = 1; j <= 5; ++j)
        Prizes[10 + j] = static_cast<qint32>(std::nearbyint(std::pow(2.0, j) * 125000 / 2));
}

} // namespace LoadingData
