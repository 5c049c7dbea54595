// SPDX-License-Identifier: GPL-3.0-or-later
// Whole games on the real main window: questions, answers, outcomes, lifelines.
#include "TestSupport.h"
#include "app/SubMain.h"
#include "app/frmMain.h"
#include "base/Process.h"
#include "base/Random.h"
#include "content/LoadingData.h"
#include "content/QuestionBank.h"
#include "game/HintsGame.h"
#include "game/ListButton.h"
#include "sound/QVRPlayFiles.h"
#include "sound/modMusic.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest/qtestspontaneevent.h>
#include <QtTest>
#include <map>

using namespace TestSupport;

namespace
{
const QColor kGreen(0, 255, 0), kBlue(0, 191, 255), kOrange(255, 127, 0), kViolet(224, 32, 255);
}

class TestGame : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    frmMain* f = nullptr;
    std::unique_ptr<DialogCloser> closer;
    int ended = 0;

    int right() const { return f->CurrentQuestion[5] - 1; }
    int wrong() const { return (right() + 1) % 4; }
    // Keys reach the window once the window system has given it back the focus.
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QTRY_VERIFY(QApplication::activeWindow() == f);
        QTest::keyClick(f, k, m);
    }
    void newGame() { key(Qt::Key_F9); }
    void answer(int button) { QTest::mouseClick(f->ButtKey[button], Qt::LeftButton); }
    // Right answers up to and including question `upTo`.
    void climbTo(int level)
    {
        newGame();
        while (f->Level < level) {
            const int before = f->Level;
            answer(right());
            if (f->Level == before) QTest::mouseClick(f->ButtOK, Qt::LeftButton);
            QCOMPARE(f->Level, qint16(before + 1));
        }
    }

  private slots:
    void initTestCase()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        GameFolderOptions o;
        o.questionsPerLevel = 6;
        o.effectSeconds = 0.08;
        MakeGameFolder(dir.path(), o);
        SetEndProgramHandler([this] { ++ended; });
        StartupOptions s;
        s.gameFolder = dir.path();
        s.instanceKey =
            QStringLiteral("Quorvel.TestGame.%1").arg(QCoreApplication::applicationPid());
        QVERIFY(Main(s));
        f = MainWindow();
        QVERIFY(f);
        QVERIFY(QTest::qWaitForWindowExposed(f));
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        closer = std::make_unique<DialogCloser>(f);
        Randomize(20261207);
    }

    void startsIdleWithTheGreeting()
    {
        QCOMPARE(f->windowTitle(), QStringLiteral("Кворвел!"));
        QCOMPARE(f->Infol->text(), QStringLiteral("Аналог телеигры   \"Тривелон!\""));
        QCOMPARE(f->Infot->toPlainText(), QStringLiteral("Добро пожаловать в новую игру!"));
        QVERIFY(f->Infol->isVisible() && f->Infot->isVisible());
        QVERIFY(!f->PictButt->isVisible() && !f->ButtOK->isVisible());
        QVERIFY(!f->MnuCom->menuAction()->isVisible());
        QCOMPARE(CurrentTrack, 7);
        QCOMPARE(f->centralWidget()->size(), QSize(1016, 704));
        // Answer and lifeline keys do nothing while the actions menu is hidden.
        key(Qt::Key_F5);
        key(Qt::Key_F3);
        QCOMPARE(f->Level, qint16(0));
        key(Qt::Key_A, Qt::AltModifier);
        QVERIFY(!f->ButtKey[0]->hasFocus());
    }

    void newGameShowsTheFirstQuestion()
    {
        newGame();
        QCOMPARE(f->Level, qint16(1));
        QCOMPARE(f->Infol->text(), QStringLiteral("Вопрос первый: и на кону 125 рублей."));
        QVERIFY(f->PictButt->isVisible() && f->PictButt->isEnabled());
        QVERIFY(!f->ButtOK->isVisible());
        QVERIFY(f->MnuCom->menuAction()->isVisible());
        QCOMPARE(CurrentTrack, 4);
        const int q = f->CurrentQuestion[0];
        QCOMPARE(f->Infot->toPlainText(), Questions(0, 0, q));
        QSet<int> fields;
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(f->ButtKey[k]->backColor(), kGreen);
            QVERIFY(f->ButtKey[k]->isVisible());
            const int field = f->CurrentQuestion[k + 1];
            fields.insert(field);
            QCOMPARE(f->ButtKey[k]->text(),
                     QString(QChar(u'A' + k)) + ": " + Questions(0, field, q));
        }
        QCOMPARE(fields.size(), 4);
        const int c = Bank::AnswerNumber(Questions(0, 5, q));
        QCOMPARE(f->CurrentQuestion[f->CurrentQuestion[5]], c);
        QCOMPARE(f->CurrentQuestion[6], 0);
    }

    void acceptedAnswerIsShownAndOtherCommandsWait()
    {
        newGame();
        const int pick = right();
        const QString answerText =
            Questions(0, f->CurrentQuestion[pick + 1], f->CurrentQuestion[0]);
        bool checked = false;
        QTimer during; // dies with the test, so a late shot cannot touch its locals
        during.setSingleShot(true);
        connect(&during, &QTimer::timeout, this, [&] {
            QCOMPARE(f->ButtKey[pick]->backColor(), kBlue);
            QCOMPARE(f->Infol->text(), QStringLiteral("Ответ принят:"));
            QCOMPARE(f->Infot->toPlainText(),
                     QString(8, ' ') + QChar(u'A' + pick) + QStringLiteral(": ") + answerText);
            QVERIFY(!f->PictButt->isEnabled() && f->PictButt->isVisible());
            QVERIFY(f->actionRunning());
            // A new game, a lifeline or another answer arriving now is ignored.
            f->MnuNewGame->trigger();
            f->MnuFivty->trigger();
            f->MnuBut[wrong()]->trigger();
            checked = true;
        });
        during.start(0);
        answer(pick);
        QVERIFY(checked);
        QCOMPARE(f->ButtKey[pick]->backColor(), kOrange);
        QCOMPARE(f->Level, qint16(1));
        QVERIFY(f->MnuFivty->isEnabled());
        QCOMPARE(f->Infol->text(), QStringLiteral("Поздравляю!  Это верный ответ!"));
        QCOMPARE(f->Infot->toPlainText(), QStringLiteral("Вы выграли 125 рублей!"));
        QVERIFY(f->ButtOK->isVisible() && f->ButtOK->hasFocus());
        QVERIFY(!f->PictButt->isVisible());
        QCOMPARE(CurrentTrack, 4);
    }

    void wholeGameToVictory()
    {
        newGame();
        for (int level = 1; level <= 15; ++level) {
            QCOMPARE(f->Level, qint16(level));
            QCOMPARE(f->Infol->text(),
                     LevelNames[0] + LevelNames[level] + QStringLiteral(" и на кону ") +
                         QString::number(Prizes[level]) + QStringLiteral(" рублей."));
            answer(right());
            if (level == 5 || level == 10) {
                // The guaranteed sum is announced and the next question follows at once.
                QCOMPARE(f->Level, qint16(level + 1));
                QCOMPARE(CurrentTrack, level / 5 + 4);
                continue;
            }
            if (level == 15) break;
            QCOMPARE(f->Infot->toPlainText(),
                     QStringLiteral("Вы выграли %1 рублей!").arg(Prizes[level]));
            QCOMPARE(CurrentTrack, level / 5 + 4);
            QVERIFY(f->ButtOK->isVisible());
            QTest::keyClick(f->ButtOK, Qt::Key_Return);
        }
        QCOMPARE(f->Level, qint16(15));
        QCOMPARE(f->Infol->text(), QStringLiteral("Неплохо заработал, умник!"));
        QCOMPARE(f->Infot->toPlainText(),
                 QStringLiteral("    Можно начать всё с начала, если есть желание, разумеется."));
        QVERIFY(!f->MnuCom->menuAction()->isVisible() && !f->PictButt->isVisible());
        QVERIFY(!f->ButtOK->isVisible());
        QCOMPARE(CurrentTrack, 7);
        QVERIFY(f->isEnabled());
        // ShowQuestion never goes past question 15.
        ShowQuestion(*f, f->CurrentQuestion, f->Level);
        QCOMPARE(f->Level, qint16(15));
    }

    void defeats_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("text");
        const QString nothing = QStringLiteral("Вы уходите ни с чем.");
        const QString t1 =
            QStringLiteral("Вы проиграли, но не расстраивайтесь. Можно же начать сначала!");
        const QString s2000 = QStringLiteral("Вы выграли 2000 рублей.");
        const QString t2 = QStringLiteral("Этого, разумеется, мало. Но можно же начать сначала!");
        const QString s64000 = QStringLiteral("Вы выграли 64000 рублей.");
        const QString t3 =
            QStringLiteral("Хоть что-то. Можно и отпразновать, а потом начать сначала.");
        QTest::newRow("1") << 1 << nothing << t1;
        QTest::newRow("5") << 5 << nothing << t1;
        QTest::newRow("6") << 6 << s2000 << t2;
        QTest::newRow("10") << 10 << s2000 << t2;
        QTest::newRow("11") << 11 << s64000 << t3;
        QTest::newRow("15") << 15 << s64000 << t3;
    }
    void defeats()
    {
        QFETCH(int, level);
        QFETCH(QString, heading);
        QFETCH(QString, text);
        climbTo(level);
        const int w = wrong();
        answer(w);
        QCOMPARE(f->ButtKey[w]->backColor(), kViolet);
        QCOMPARE(f->Infol->text(), heading);
        QCOMPARE(f->Infot->toPlainText(), text);
        QVERIFY(!f->MnuCom->menuAction()->isVisible() && !f->PictButt->isVisible());
        QCOMPARE(CurrentTrack, 7);
        QVERIFY(f->isEnabled());
    }

    void continueStateKeepsTheAnswerItems()
    {
        climbTo(3);
        answer(right());
        QVERIFY(f->ButtOK->isVisible());
        // The menu still acts on the question just answered.
        f->MnuBut[wrong()]->trigger();
        QCOMPARE(f->Infol->text(), QStringLiteral("Вы уходите ни с чем."));
        QVERIFY(!f->MnuCom->menuAction()->isVisible());
        // The lost game is over: "Продолжим?" is gone and Enter brings nothing back.
        QVERIFY(!f->ButtOK->isVisible());
        key(Qt::Key_Return);
        QCOMPARE(f->Level, qint16(3));
        QCOMPARE(f->Infol->text(), QStringLiteral("Вы уходите ни с чем."));
    }

    void fiftyFiftyHidesTwoWrongAnswers()
    {
        newGame();
        key(Qt::Key_F3);
        QVERIFY(!f->MnuFivty->isEnabled());
        int hidden = 0;
        for (int k = 0; k < 4; ++k)
            hidden += f->ButtKey[k]->isHidden();
        QCOMPARE(hidden, 2);
        QVERIFY(!f->ButtKey[right()]->isHidden());
        QCOMPARE(CurrentTrack, 4);
        // A removed answer cannot be chosen from the menu or focused with Alt.
        int gone = 0;
        while (!f->ButtKey[gone]->isHidden())
            ++gone;
        const QString heading = f->Infol->text();
        f->MnuBut[gone]->trigger();
        QCOMPARE(f->Infol->text(), heading);
        key(Qt::Key(Qt::Key_A + gone), Qt::AltModifier);
        QVERIFY(!f->ButtKey[gone]->hasFocus());
        // The next question shows all four again; the lifeline stays used.
        answer(right());
        QTest::mouseClick(f->ButtOK, Qt::LeftButton);
        for (int k = 0; k < 4; ++k)
            QVERIFY(f->ButtKey[k]->isVisible());
        QVERIFY(!f->MnuFivty->isEnabled());
    }

    void referendumAndMastersReport()
    {
        climbTo(4);
        closer->seen.clear();
        key(Qt::Key_F2);
        QVERIFY(!f->MnuReferendum->isEnabled());
        QVERIFY(f->PictButt->isVisible());
        QCOMPARE(closer->seen.size(), 1);
        QCOMPARE(closer->seen[0].title, QStringLiteral("Результаты референдума"));
        static const QRegularExpression poll(
            QStringLiteral("^A=(\\d+)%, B=(\\d+)%, \r?\nC=(\\d+)%, D=(\\d+)%\\.$"));
        const auto m = poll.match(closer->seen[0].text);
        QVERIFY2(m.hasMatch(), qPrintable(closer->seen[0].text));
        const int share = m.captured(f->CurrentQuestion[5]).toInt();
        QVERIFY(share >= 26 && share <= 25 + 5 * (16 - 4));

        closer->seen.clear();
        key(Qt::Key_F4);
        QVERIFY(!f->MnuMasters->isEnabled());
        QCOMPARE(closer->seen.size(), 1);
        QCOMPARE(closer->seen[0].title, QStringLiteral("Заключение магистров таково:"));
        static const QRegularExpression verdict(QStringLiteral(
            "^Мы считаем, что правильный ответ ([A-D])\\.\r?\nВероятность: (\\d+)%\\.$"));
        const auto v = verdict.match(closer->seen[0].text);
        QVERIFY2(v.hasMatch(), qPrintable(closer->seen[0].text));
        QCOMPARE(v.captured(1), QString(QChar(u'A' + right())));
        QVERIFY(v.captured(2).toInt() >= 41 && v.captured(2).toInt() <= 40 + 4 * 12);
        QCOMPARE(closer->seen[0].buttons, QStringList{QStringLiteral("Закрыть")});

        // A new game in the middle gives every lifeline back and starts at question 1.
        key(Qt::Key_F3);
        newGame();
        QCOMPARE(f->Level, qint16(1));
        QVERIFY(f->MnuFivty->isEnabled() && f->MnuMasters->isEnabled() &&
                f->MnuReferendum->isEnabled());
        for (int k = 0; k < 4; ++k)
            QVERIFY(f->ButtKey[k]->isVisible());
    }

    void lifelineInTheContinueState()
    {
        climbTo(2);
        answer(right());
        QVERIFY(f->ButtOK->isVisible() && !f->PictButt->isVisible());
        key(Qt::Key_F4);
        // The panel comes back, still disabled from the accepted answer.
        QVERIFY(f->PictButt->isVisible() && !f->PictButt->isEnabled());
        QTest::mouseClick(f->ButtOK, Qt::LeftButton);
        QCOMPARE(f->Level, qint16(3));
        QVERIFY(f->PictButt->isEnabled());
    }

    void keysOfTheMainWindow()
    {
        newGame();
        key(Qt::Key_C, Qt::AltModifier);
        QVERIFY(f->ButtKey[2]->hasFocus());
        key(Qt::Key_A, Qt::AltModifier | Qt::ShiftModifier);
        QVERIFY(f->ButtKey[2]->hasFocus());
        key(Qt::Key_Q, Qt::AltModifier);
        QVERIFY(f->Infot->hasFocus());
        // The context-menu key pops the actions menu during a question.
        QTest::keyClick(f->Infot, Qt::Key_Menu, Qt::ShiftModifier);
        QVERIFY(!QApplication::activePopupWidget());
        QTest::keyClick(f->Infot, Qt::Key_Menu);
        QTRY_VERIFY(QApplication::activePopupWidget() == f->MnuCom);
        QTest::keyClick(f->MnuCom, Qt::Key_Escape);
        // Between games it pops the game menu.
        answer(wrong());
        f->Infot->setFocus();
        QTest::keyClick(f->Infot, Qt::Key_Menu);
        QTRY_VERIFY(QApplication::activePopupWidget() == f->MnuGame);
        QTest::keyClick(f->MnuGame, Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        f->activateWindow(); // the offscreen platform leaves a closed pop-up "active"
        key(Qt::Key_A, Qt::AltModifier);
        QVERIFY(!f->ButtKey[0]->hasFocus());
    }

    // Under the Russian layout Alt+A types Alt+Ф: the key counts, not the letter.
    // The event carries what the platform gives: X11's scan code (evdev + 8) and
    // Windows' virtual key, with the Cyrillic key and text.
    void lettersGoByTheKeyInEveryLayout()
    {
        newGame();
        const auto press = [this](int key, const QString& text, quint32 scan, quint32 vk,
                                  Qt::KeyboardModifiers m = Qt::AltModifier) {
            QTRY_VERIFY(QApplication::activeWindow() == f);
            QWidget* target = f->focusWidget() ? f->focusWidget() : f;
            // As the window system delivers it: the shortcut check first (where the
            // access letter И of "&игра" lies on the B key), then the press.
            QKeyEvent over(QEvent::ShortcutOverride, key, m, scan, vk, 0, text);
            over.ignore();
            QSpontaneKeyEvent::setSpontaneous(&over);
            qApp->notify(target, &over);
            if (!over.isAccepted()) {
                QKeySequence seq(key | m);
                for (QAction* a : f->findChildren<QAction*>())
                    if (a->shortcut() == seq) a->trigger();
                for (QMenu* menu : {f->MnuGame, f->MnuCom})
                    if (QKeySequence::mnemonic(menu->title()) == seq) menu->popup({});
            }
            if (QApplication::activePopupWidget()) return;
            QKeyEvent e(QEvent::KeyPress, key, m, scan, vk, 0, text);
            QSpontaneKeyEvent::setSpontaneous(&e); // the override was sent above
            qApp->notify(target, &e);
        };
        const struct {
            int key;
            const char16_t* text;
            quint32 scan, vk;
        } letters[] = {{0x0424, u"ф", 38, 0x41},
                       {0x0418, u"и", 56, 0x42},
                       {0x0421, u"с", 54, 0x43},
                       {0x0412, u"в", 40, 0x44}};
        for (int k = 0; k < 4; ++k) {
            press(letters[k].key, QString::fromUtf16(letters[k].text), letters[k].scan,
                  letters[k].vk);
            QVERIFY2(f->ButtKey[k]->hasFocus(), qPrintable(QString::number(k)));
        }
        press(0x0419, QStringLiteral("й"), 24, 0x51); // Alt+Q
        QVERIFY(f->Infot->hasFocus());
        // Shift held too: nothing.
        press(0x0424, QStringLiteral("Ф"), 38, 0x41, Qt::AltModifier | Qt::ShiftModifier);
        QVERIFY(f->Infot->hasFocus());
        // And Enter answers on the button the key moved to.
        press(0x0424, QStringLiteral("ф"), 38, 0x41);
        QVERIFY(f->ButtKey[0]->hasFocus());
        const int before = f->Level;
        const bool isRight = right() == 0;
        QTest::keyClick(f->ButtKey[0], Qt::Key_Return);
        QVERIFY(f->Infol->text() !=
                LevelNames[0] + LevelNames[before] + QStringLiteral(" и на кону ") +
                    QString::number(Prizes[before]) + QStringLiteral(" рублей."));
        QCOMPARE(f->ButtKey[0]->backColor(), isRight ? kOrange : kViolet);
    }

    void musicSwitch()
    {
        QCOMPARE(f->MnuMuz->text(), QStringLiteral("Выключить музыку"));
        const int track = CurrentTrack;
        key(Qt::Key_F11);
        QCOMPARE(f->MnuMuz->text(), QStringLiteral("Включить музыку"));
        QCOMPARE(MusicOff, -1);
        // With the music off a new game keeps the track number and pauses for effects.
        QElapsedTimer t;
        t.start();
        newGame();
        QVERIFY(t.elapsed() >= 50);
        QCOMPARE(f->Level, qint16(1));
        QCOMPARE(CurrentTrack, track);
        key(Qt::Key_F11);
        QCOMPARE(MusicOff, 0);
        QCOMPARE(f->MnuMuz->text(), QStringLiteral("Выключить музыку"));
        QCOMPARE(CurrentTrack, track);
    }

    void shuffleDealsEveryOrderAlike()
    {
        std::map<std::array<qint32, 4>, int> orders;
        const int rounds = 24 * 400;
        for (int i = 0; i < rounds; ++i) {
            f->Level = 0;
            ShowQuestion(*f, f->CurrentQuestion, f->Level);
            const auto& cq = f->CurrentQuestion;
            ++orders[{cq[1], cq[2], cq[3], cq[4]}];
            QCOMPARE(cq[cq[5]], Bank::AnswerNumber(Questions(0, 5, cq[0])));
        }
        QCOMPARE(int(orders.size()), 24);
        double chi = 0;
        for (const auto& [order, n] : orders)
            chi += (n - 400.0) * (n - 400.0) / 400.0;
        QVERIFY2(chi < 49.7, qPrintable(QString::number(chi))); // 99.9 % point, 23 degrees
    }

    void lifelineDrawsHaveTheirStatedRanges()
    {
        std::map<std::pair<int, int>, int> pairs;
        for (int i = 0; i < 6000; ++i) {
            const auto shown = HintsGame::FiftyDraw(2);
            QVERIFY(shown[1]);
            std::vector<int> gone;
            for (int k = 0; k < 4; ++k)
                if (!shown[k]) gone.push_back(k);
            QCOMPARE(int(gone.size()), 2);
            ++pairs[{gone[0], gone[1]}];
        }
        QCOMPARE(int(pairs.size()), 3);
        for (const auto& [p, n] : pairs)
            QVERIFY2(n > 1850 && n < 2150, qPrintable(QString::number(n)));

        for (qint16 level : {1, 5, 10, 15}) {
            int low = 1000, high = 0, lowP = 1000, highP = 0;
            for (int i = 0; i < 4000; ++i) {
                const auto s = HintsGame::ReferendumShares(4, level);
                QCOMPARE(s[0], qint16(0));
                QCOMPARE(s[1] + s[2] + s[3] + s[4], 100);
                low = std::min<int>(low, s[4]);
                high = std::max<int>(high, s[4]);
                const int p = HintsGame::MastersProbability(level);
                lowP = std::min(lowP, p);
                highP = std::max(highP, p);
            }
            QCOMPARE(low, 26);
            QCOMPARE(high, 25 + 5 * (16 - level));
            QCOMPARE(lowP, 41);
            QCOMPARE(highP, 40 + 4 * (16 - level));
        }
        // Answers are served greedily A to D around the right one.
        Randomize(3);
        const auto s = HintsGame::ReferendumShares(0, 1);
        QVERIFY(s[0] >= 26);
        QVERIFY(s[1] >= 1);
        QCOMPARE(HintsGame::ReferendumText({0, 12, 54, 3, 20}),
                 QStringLiteral("A=12%, B=54%, \r\nC=3%, D=20%."));
        QCOMPARE(HintsGame::MastersText(0, 41),
                 QStringLiteral("Мы считаем, что правильный ответ @.\r\nВероятность: 41%."));
    }

    void farewellOnClose()
    {
        bool sawBye = false;
        QTimer during;
        during.setSingleShot(true);
        connect(&during, &QTimer::timeout, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->windowTitle() == QStringLiteral("Закрываюсь"))
                    sawBye = true;
        });
        during.start(0);
        f->close();
        QVERIFY(sawBye);
        QCOMPARE(ended, 1);
        QVERIFY(!f->Infol->isVisible() && !f->PictButt->isVisible());
        QVERIFY(!f->MnuGame->menuAction()->isVisible());
        // Leaving twice is still one farewell.
        f->MnuExit_Click();
        QCOMPARE(ended, 1);
    }
};

QTEST_MAIN(TestGame)
#include "test_game.moc"
