// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of a game without any window: a screen of the test's own records
// what the game shows, and the real sound commands play on a silent output.
#include "TestSupport.h"
#include "base/AppPath.h"
#include "base/Random.h"
#include "content/LoadingData.h"
#include "content/QuestionBank.h"
#include "game/GamePlay.h"
#include "game/GameScreen.h"
#include "game/HintsGame.h"
#include "game/ListButton.h"
#include "sound/QVRPlayFiles.h"
#include "sound/modMusic.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <functional>
#include <set>

#if defined(QUORVEL_SANITIZE)
// From the sanitizer runtime; GCC ships no header for it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

using namespace TestSupport;

namespace
{

std::size_t allocatedBytes()
{
#if defined(QUORVEL_SANITIZE)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// Everything the game can set on its screen, plus a log of the windows that
// stood over it. Checks the brackets: no window opens over another one.
class RecordingScreen : public GameScreen
{
  public:
    QString heading, text;
    bool infoVisible = true, textFocused = false, continueFocused = false;
    std::array<QString, 4> captions;
    std::array<bool, 4> shown{true, true, true, true};
    std::array<AnswerColour, 4> colours{};
    bool panelVisible = false, panelEnabled = true, continueVisible = false;
    bool actionsVisible = false;
    std::array<bool, 3> lifelines{true, true, true};
    QStringList windows; // "announce:caption:text", "result:…", "message:code:title:text"
    QString open;        // the window standing now, empty when none
    int bracketFaults = 0;
    std::function<void()> onAccepted;

    void setHeading(const QString& t) override { heading = t; }
    void setText(const QString& t) override { text = t; }
    void setInfoVisible(bool v) override { infoVisible = v; }
    void focusText() override
    {
        textFocused = true;
        continueFocused = false;
    }
    void setAnswer(int b, const QString& c) override { captions[b] = c; }
    void setAnswerVisible(int b, bool v) override { shown[b] = v; }
    bool answerVisible(int b) const override { return shown[b]; }
    void setAnswerColour(int b, AnswerColour c) override
    {
        colours[b] = c;
        if (c == AnswerColour::Accepted && onAccepted) onAccepted();
    }
    void setPanelVisible(bool v) override { panelVisible = v; }
    void setPanelEnabled(bool e) override { panelEnabled = e; }
    void setContinueVisible(bool v) override { continueVisible = v; }
    void focusContinue() override
    {
        continueFocused = true;
        textFocused = false;
    }
    void setActionsMenuVisible(bool v) override { actionsVisible = v; }
    void setLifelineEnabled(Lifeline l, bool e) override { lifelines[int(l)] = e; }
    void announce(const QString& t, const QString& c) override
    {
        openWindow("announce:" + c + ":" + t);
    }
    void endAnnouncement() override { closeWindow("announce:"); }
    void showResult(const QString& t, const QString& c) override
    {
        openWindow("result:" + c + ":" + t);
    }
    void endResult() override { closeWindow("result:"); }
    void message(const QString& t, int code, const QString& title) override
    {
        if (!open.isEmpty()) ++bracketFaults;
        windows << QStringLiteral("message:%1:%2:%3").arg(code).arg(title, t);
    }

  private:
    void openWindow(const QString& w)
    {
        if (!open.isEmpty()) ++bracketFaults;
        open = w;
        windows << w;
    }
    void closeWindow(const QString& kind)
    {
        if (!open.startsWith(kind)) ++bracketFaults;
        open.clear();
    }
};

} // namespace

class TestRules : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<RecordingScreen> screen;
    std::unique_ptr<GamePlay> game;

    int right() const { return game->CurrentQuestion[5] - 1; }
    int wrong() const { return (right() + 1) % 4; }

    // Right answers up to question `level` on screen.
    void climbTo(int level)
    {
        game->NewGame();
        while (game->Level < level) {
            const qint16 before = game->Level;
            game->Answer(right());
            if (game->Level == before) {
                QVERIFY(screen->continueVisible);
                game->Continue();
            }
            QCOMPARE(game->Level, qint16(before + 1));
        }
    }

    QString lastWindow() const
    {
        return screen->windows.isEmpty() ? QString() : screen->windows.last();
    }

  private slots:
    void initTestCase()
    {
        SetAudioOutput(AudioOutput::FastSilent);
        GameFolderOptions o;
        o.questionsPerLevel = 5;
        o.effectSeconds = 0.05;
        o.musicSeconds = 0.5;
        AppPath = MakeGameFolder(dir.path(), o);
        QVERIFY(LoadingData::BuildSoundCatalogue());
        QCOMPARE(LoadingData::LoadQuestions(), BankStatus::Loaded);
        LoadingData::BuildLevelNames();
        LoadingData::BuildPrizes();
        Randomize(7);
    }

    void init()
    {
        screen = std::make_unique<RecordingScreen>();
        game = std::make_unique<GamePlay>(*screen);
        game->enable();
        MusicOff = 0;
    }
    void cleanup()
    {
        QCOMPARE(screen->bracketFaults, 0);
        QVERIFY(screen->open.isEmpty());
        QVERIFY(!game->busy());
        game.reset();
        screen.reset();
        StopMusic();
    }

    void nothingRunsBeforeStartUpIsDone()
    {
        GamePlay idle(*screen);
        idle.NewGame();
        QCOMPARE(idle.Level, qint16(0));
        QVERIFY(screen->windows.isEmpty());
    }

    void newGameShowsTheFirstQuestion()
    {
        screen->lifelines = {false, false, false};
        game->NewGame();
        QCOMPARE(screen->windows.first(), QStringLiteral("announce:Новая игра!:Желаю победы!"));
        QCOMPARE(game->Level, qint16(1));
        QCOMPARE(CurrentTrack, 4);
        QCOMPARE(screen->heading, QStringLiteral("Вопрос первый: и на кону 125 рублей."));
        const int q = game->CurrentQuestion[0];
        QCOMPARE(screen->text, Questions(0, 0, q));
        QVERIFY(screen->panelVisible && screen->panelEnabled && screen->actionsVisible);
        QVERIFY(!screen->continueVisible);
        QCOMPARE(screen->lifelines, (std::array<bool, 3>{true, true, true}));
        // Every answer once, with its letter, and the right one where recorded.
        QStringList dealt;
        for (int b = 0; b < 4; ++b) {
            QVERIFY(screen->shown[b]);
            QCOMPARE(screen->colours[b], AnswerColour::Open);
            QCOMPARE(screen->captions[b].left(3), QString(QChar(u'A' + b)) + ": ");
            dealt << screen->captions[b].mid(3);
        }
        dealt.sort();
        QStringList answers;
        for (int a = 1; a <= 4; ++a)
            answers << Questions(0, a, q);
        answers.sort();
        QCOMPARE(dealt, answers);
        QCOMPARE(screen->captions[right()].mid(3),
                 Questions(0, Bank::AnswerNumber(Questions(0, 5, q)), q));
    }

    void anOrdinaryRightAnswerWaitsForContinue()
    {
        game->NewGame();
        game->Answer(right());
        QCOMPARE(screen->colours[right()], AnswerColour::Right);
        QCOMPARE(screen->heading, QStringLiteral("Поздравляю!  Это верный ответ!"));
        QCOMPARE(screen->text, QStringLiteral("Вы выграли 125 рублей!"));
        QVERIFY(screen->infoVisible && !screen->panelVisible);
        QVERIFY(screen->continueVisible && screen->continueFocused);
        QCOMPARE(game->Level, qint16(1));
        QCOMPARE(CurrentTrack, 4);
        game->Continue();
        QCOMPARE(game->Level, qint16(2));
        QVERIFY(!screen->continueVisible && screen->panelVisible);
        QCOMPARE(screen->heading, QStringLiteral("Вопрос второй: и на кону 250 рублей."));
    }

    // A wrong answer given from the pause before "Продолжим?" ends the game for good.
    void aLostGameCannotBeContinued()
    {
        climbTo(3);
        game->Answer(right());
        QVERIFY(screen->continueVisible && game->inGame());
        game->AnswerItem(wrong()); // F5-F8 still act on the question just answered
        QCOMPARE(screen->heading, QStringLiteral("Вы уходите ни с чем."));
        QVERIFY(!screen->continueVisible && !screen->actionsVisible && !game->inGame());
        game->Continue(); // Enter on the window, or a stale click
        QCOMPARE(game->Level, qint16(3));
        QVERIFY(!screen->panelVisible);
        QCOMPARE(screen->heading, QStringLiteral("Вы уходите ни с чем."));
        // Nor can a won game go on.
        climbTo(15);
        game->Answer(right());
        QCOMPARE(screen->heading, QStringLiteral("Неплохо заработал, умник!"));
        game->Continue();
        QCOMPARE(game->Level, qint16(15));
        QCOMPARE(screen->heading, QStringLiteral("Неплохо заработал, умник!"));
    }

    // The poll adds up to 100 whatever the level, the right answer and the draws.
    void referendumAddsUpToAHundred()
    {
        for (qint16 level = 1; level <= 15; ++level)
            for (int correct = 1; correct <= 4; ++correct)
                for (int i = 0; i < 500; ++i) {
                    const auto s = HintsGame::ReferendumShares(correct, level);
                    QCOMPARE(s[0], qint16(0));
                    QCOMPARE(s[1] + s[2] + s[3] + s[4], 100);
                    QVERIFY(s[correct] >= 26 && s[correct] <= 25 + 5 * (16 - level));
                    for (int k = 1; k <= 4; ++k)
                        if (k != correct) QVERIFY(s[k] >= 0 && s[k] <= 74);
                }
        // The right answer's share and the greedy order stay: with the draws
        // replayed, every share but the last one served is the same as before.
        Randomize(11);
        const double r0 = Rnd(), r1 = Rnd(), r2 = Rnd();
        Randomize(11);
        const auto s = HintsGame::ReferendumShares(2, 3);
        const int right = int(std::floor(r0 * 13 * 5)) + 26;
        QCOMPARE(int(s[2]), right);
        const int a = int(std::floor(r1 * (100 - right))) + 1;
        QCOMPARE(int(s[1]), a);
        if (100 - right - a > 0) {
            const int c = int(std::floor(r2 * (100 - right - a))) + 1;
            QCOMPARE(int(s[3]), c);
        }
        // The text of the poll in the game adds up too.
        game->NewGame();
        game->Referendum();
        static const QRegularExpression poll(
            QStringLiteral("A=(\\d+)%, B=(\\d+)%, \r\nC=(\\d+)%, D=(\\d+)%\\.$"));
        const auto m = poll.match(lastWindow());
        QVERIFY2(m.hasMatch(), qPrintable(lastWindow()));
        int sum = 0;
        for (int k = 1; k <= 4; ++k)
            sum += m.captured(k).toInt();
        QCOMPARE(sum, 100);
    }

    void guaranteedSumsGoStraightOn_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("track");
        QTest::newRow("5") << 5 << "Вы выигрываете первую незгараемую сумму." << 5;
        QTest::newRow("10") << 10 << "Вы выигрываете вторую незгараемую сумму." << 6;
    }
    void guaranteedSumsGoStraightOn()
    {
        QFETCH(int, level);
        QFETCH(QString, text);
        QFETCH(int, track);
        climbTo(level);
        game->Answer(right());
        QVERIFY(screen->windows.contains("result:ПОЗДРАВЛЯЮ!:" + text));
        QCOMPARE(game->Level, qint16(level + 1));
        QVERIFY(!screen->continueVisible && screen->panelVisible);
        QCOMPARE(CurrentTrack, track);
    }

    void wrongAnswersLeaveWithTheGuaranteedSum_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("heading");
        QTest::newRow("1") << 1 << "Вы уходите ни с чем.";
        QTest::newRow("5") << 5 << "Вы уходите ни с чем.";
        QTest::newRow("6") << 6 << "Вы выграли 2000 рублей.";
        QTest::newRow("10") << 10 << "Вы выграли 2000 рублей.";
        QTest::newRow("11") << 11 << "Вы выграли 64000 рублей.";
        QTest::newRow("15") << 15 << "Вы выграли 64000 рублей.";
    }
    void wrongAnswersLeaveWithTheGuaranteedSum()
    {
        QFETCH(int, level);
        QFETCH(QString, heading);
        climbTo(level);
        const int w = wrong();
        game->Answer(w);
        QCOMPARE(screen->colours[w], AnswerColour::Wrong);
        QCOMPARE(lastWindow(), QStringLiteral("result:ПОРАЖЕНИЕ!:К сожалению, вы проиграли."));
        QCOMPARE(screen->heading, heading);
        QVERIFY(!screen->panelVisible && !screen->actionsVisible);
        QCOMPARE(CurrentTrack, 7);
    }

    void fifteenRightAnswersWin()
    {
        climbTo(15);
        QCOMPARE(screen->heading, QStringLiteral("Вопрос пятнадцатый: и на кону 2000000 рублей."));
        game->Answer(right());
        QCOMPARE(
            lastWindow(),
            QStringLiteral("result:ПОБЕДА!:Вы выграли 2000000 рублей, вместа одного обещеного!"));
        QCOMPARE(screen->heading, QStringLiteral("Неплохо заработал, умник!"));
        QVERIFY(!screen->actionsVisible && !screen->panelVisible && !screen->continueVisible);
        QCOMPARE(game->Level, qint16(15));
        QCOMPARE(CurrentTrack, 7);
        // Past fifteen there is nothing to show.
        game->Continue();
        QCOMPARE(game->Level, qint16(15));
    }

    void fiftyFiftyKeepsTheRightAnswerAndOneOther()
    {
        for (int round = 0; round < 30; ++round) {
            game->NewGame();
            game->Fifty();
            QVERIFY(!screen->lifelines[int(Lifeline::Fifty)]);
            QCOMPARE(lastWindow(), QStringLiteral("announce:Подсказка::50 на 50"));
            QVERIFY(screen->shown[right()]);
            QCOMPARE(std::count(screen->shown.begin(), screen->shown.end(), true), 2);
            // A hidden answer's menu item does nothing.
            const int hidden = int(std::find(screen->shown.begin(), screen->shown.end(), false) -
                                   screen->shown.begin());
            game->AnswerItem(hidden);
            QCOMPARE(screen->colours[hidden], AnswerColour::Open);
            QCOMPARE(CurrentTrack, 4);
        }
    }

    void referendumAndMastersReportInAMessage()
    {
        game->NewGame();
        game->Referendum();
        QVERIFY(!screen->lifelines[int(Lifeline::Referendum)]);
        QVERIFY(screen->panelVisible);
        QVERIFY(screen->windows.contains(
            "result:РЕФЕРЕНДУМ!:Мы проводим референдум с населением планеты \"земля\"!"));
        static const QRegularExpression poll(QStringLiteral(
            "^message:130:Результаты референдума:A=\\d+%, B=\\d+%, \r\nC=\\d+%, D=\\d+%\\.$"));
        QVERIFY2(poll.match(lastWindow()).hasMatch(), qPrintable(lastWindow()));

        game->Masters();
        QVERIFY(!screen->lifelines[int(Lifeline::Masters)]);
        QVERIFY(screen->panelVisible);
        const QString expected =
            QStringLiteral("message:130:Заключение магистров таково::Мы считаем, "
                           "что правильный ответ %1.\r\nВероятность: ")
                .arg(QChar(u'A' + right()));
        QVERIFY2(lastWindow().startsWith(expected), qPrintable(lastWindow()));
        QCOMPARE(CurrentTrack, 4);
    }

    void aCommandDuringAnotherIsDropped()
    {
        game->NewGame();
        const auto before = game->CurrentQuestion;
        int tried = 0;
        screen->onAccepted = [&] {
            ++tried;
            QVERIFY(game->busy());
            game->NewGame();
            game->Fifty();
            game->Continue();
            game->Answer((right() + 2) % 4);
        };
        game->Answer(right());
        screen->onAccepted = nullptr;
        QCOMPARE(tried, 1);
        QCOMPARE(game->Level, qint16(1));
        QCOMPARE(game->CurrentQuestion, before);
        QVERIFY(screen->lifelines[int(Lifeline::Fifty)]);
        QVERIFY(screen->continueVisible);
    }

    void leavingStopsACommandAtItsNextStep()
    {
        game->NewGame();
        screen->onAccepted = [&] { game->leave(); };
        game->Answer(right());
        screen->onAccepted = nullptr;
        QCOMPARE(screen->colours[right()], AnswerColour::Accepted);
        QVERIFY(!screen->continueVisible);
        game->NewGame();
        QCOMPARE(game->Level, qint16(1));
    }

    void musicOffKeepsTheGameGoing()
    {
        MusicOff = -1;
        const int track = CurrentTrack;
        game->NewGame();
        game->Answer(right());
        QCOMPARE(CurrentTrack, track);
        QVERIFY(!MusicIsRunning());
        QVERIFY(screen->continueVisible);
        MusicOff = 0;
    }

    // Twenty games in one run: no question comes back before every playable
    // question of its level has been shown, and each round is a fresh order.
    void twentyGamesNeverRepeatBeforeTheLevelIsUsedUp()
    {
        QCOMPARE(LoadingData::LoadQuestions(), BankStatus::Loaded); // fresh decks
        const int n = int(Questions.playable(0).size());
        QCOMPARE(n, 5);
        std::array<std::vector<int>, 15> shown;
        // The draw without the waits of a played game: the question steps a game
        // of right answers takes, through the routine every one of them calls.
        for (int g = 0; g < 20; ++g) {
            qint16 level = 0;
            std::array<qint32, 7> current{};
            while (level < 15) {
                ShowQuestion(*screen, current, level);
                shown[std::size_t(level - 1)].push_back(current[0]);
                QCOMPARE(screen->text, Questions(level - 1, 0, current[0]));
            }
        }
        std::set<std::vector<int>> orders;
        for (const auto& draws : shown) {
            QCOMPARE(int(draws.size()), 20);
            for (int round = 0; round < 4; ++round) {
                std::vector<int> deck(draws.begin() + round * n, draws.begin() + (round + 1) * n);
                orders.insert(deck);
                std::sort(deck.begin(), deck.end());
                QCOMPARE(deck, Questions.playable(0));
            }
        }
        // 60 rounds of 5 questions: the orders differ (a fixed order would give 1).
        QVERIFY(orders.size() > 40);
    }

    // A long series of whole games with every outcome and lifeline: the state
    // stays consistent and memory stays flat (the sanitizer build also checks
    // for leaks at exit).
    void manyWholeGames()
    {
        Randomize(20261207);
        std::array<int, 3> outcomes{}; // defeat, victory, abandoned by a new game
        std::size_t afterWarmUp = 0;
        const int games = 100;
        for (int g = 0; g < games; ++g) {
            if (g == 10) afterWarmUp = allocatedBytes();
            game->NewGame();
            // 16: play to the end, which every fourth game does whatever the draws.
            const int stopAt = g % 4 == 1 ? 16 : 1 + int(Rnd() * 15);
            for (;;) {
                QVERIFY(game->Level >= 1 && game->Level <= 15);
                if (game->Level == stopAt && g % 3 == 0) {
                    ++outcomes[2];
                    break;
                }
                switch (int(Rnd() * 6)) {
                case 0:
                    if (screen->lifelines[int(Lifeline::Fifty)]) game->Fifty();
                    break;
                case 1:
                    if (screen->lifelines[int(Lifeline::Referendum)]) game->Referendum();
                    break;
                case 2:
                    if (screen->lifelines[int(Lifeline::Masters)]) game->Masters();
                    break;
                default:
                    break;
                }
                QVERIFY(screen->shown[right()]);
                const qint16 level = game->Level;
                const bool lose = game->Level == stopAt;
                if (lose) {
                    int w = wrong();
                    while (!screen->shown[w])
                        w = (w + 1) % 4;
                    game->Answer(w);
                    QVERIFY(!screen->actionsVisible);
                    ++outcomes[0];
                    break;
                }
                game->Answer(right());
                if (level == 15) {
                    QCOMPARE(screen->heading, QStringLiteral("Неплохо заработал, умник!"));
                    ++outcomes[1];
                    break;
                }
                if (game->Level == level) game->Continue();
                QCOMPARE(game->Level, qint16(level + 1));
            }
            QVERIFY(screen->open.isEmpty());
        }
        QVERIFY(outcomes[0] > 10 && outcomes[1] > 5 && outcomes[2] > 10);
        const std::size_t grown = allocatedBytes() - std::min(allocatedBytes(), afterWarmUp);
        QVERIFY2(grown < 256 * 1024, qPrintable(QStringLiteral("%1 bytes more").arg(grown)));
    }
};

QTEST_GUILESS_MAIN(TestRules)
#include "test_rules.moc"
