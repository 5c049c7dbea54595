#include "dialogs/DIAM.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <array>
#include <ctime>
#include <functional>

namespace {

// Buttons of each variant (code mod 32): captions, nullptr for hidden, and the
// button that takes the focus after the pause (0: the first shown one).
struct Variant {
    std::array<const char*, 4> captions;
    int focus;
};
const char* const P = "Пропустить";
const char* const C = "Продолжить";
const char* const X = "Отмена";
const char* const H = "Помощь";
const char* const Y = "Дда";
const char* const N = "Нет";
const char* const K = "ОК";
const char* const Z = "Закрыть";
const char* const R = "Заменить";
const char* const A = "Добавить";
const std::array<Variant, 32> kVariants{{
    {{nullptr, C, X, nullptr}, 0}, {{K, nullptr, nullptr, nullptr}, 0},
    {{nullptr, Z, nullptr, nullptr}, 0}, {{Y, N, nullptr, nullptr}, 0},
    {{nullptr, nullptr, X, nullptr}, 0}, {{K, nullptr, X, nullptr}, 0},
    {{P, C, X, nullptr}, 0}, {{Y, N, X, nullptr}, 0},
    {{nullptr, C, X, H}, 0}, {{K, nullptr, nullptr, H}, 0},
    {{nullptr, Z, nullptr, H}, 0}, {{Y, N, nullptr, H}, 0},
    {{nullptr, nullptr, X, H}, 0}, {{K, nullptr, X, H}, 0},
    {{P, C, X, H}, 0}, {{Y, N, X, H}, 0},
    {{nullptr, C, X, nullptr}, 3}, {{P, R, X, A}, 0},
    {{P, R, X, A}, 2}, {{Y, N, nullptr, nullptr}, 2},
    {{P, R, X, A}, 3}, {{K, nullptr, X, nullptr}, 3},
    {{P, C, X, nullptr}, 2}, {{Y, N, X, nullptr}, 2},
    {{nullptr, C, X, H}, 3}, {{K, nullptr, nullptr, H}, 4},
    {{nullptr, Z, nullptr, H}, 4}, {{Y, N, nullptr, H}, 2},
    {{nullptr, nullptr, X, H}, 4}, {{K, nullptr, X, H}, 3},
    {{P, C, X, H}, 2}, {{Y, N, X, H}, 2},
}};
const std::array<const char*, 5> kKindTitles{"Ошибка!", "Внимание!", "Вопрос", "Сообщение.",
                                             "Подтвердите."};

// The dialog that takes the player's input: one that waits for another is disabled.
QWidget* liveDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("DIAM") && w->isVisible() && w->isEnabled())
            return w;
    return nullptr;
}
bool dialogExists()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("DIAM")) return true;
    return false;
}
QPushButton* button(QWidget* d, int n)
{
    return d->findChild<QPushButton*>(QStringLiteral("Mbutt%1").arg(n));
}
QPlainTextEdit* text(QWidget* d) { return d->findChild<QPlainTextEdit*>(QStringLiteral("Mtext")); }
int firstShown(QWidget* d)
{
    for (int n = 1; n <= 4; ++n)
        if (button(d, n)->isVisible()) return n;
    return 0;
}

// What the player sees once the pause is over.
struct Seen {
    QString title, text;
    std::array<QString, 4> captions;
    std::array<bool, 4> shown{};
    int focus = -1; // 0: Mtext, 1 to 4: a button
    bool focusUsable = false, callerDisabled = false, dialogEnabled = false, owned = false;
    QSize size;
    bool stayedOpen = false; // the action did not end the dialog
};

Seen snapshot(QWidget* d, QWidget* caller)
{
    Seen s;
    s.title = d->windowTitle();
    s.text = text(d)->toPlainText();
    for (int n = 1; n <= 4; ++n) {
        s.shown[n - 1] = button(d, n)->isVisible();
        s.captions[n - 1] = button(d, n)->text();
        if (d->focusWidget() == button(d, n)) s.focus = n;
    }
    if (d->focusWidget() == text(d)) s.focus = 0;
    QWidget* fw = d->focusWidget();
    s.focusUsable = fw && fw->isVisible() && fw->isEnabled();
    s.callerDisabled = caller && !caller->isEnabled();
    s.dialogEnabled = d->isEnabled();
    s.owned = caller && d->windowHandle() &&
              d->windowHandle()->transientParent() == caller->windowHandle();
    s.size = d->size();
    return s;
}

using Action = std::function<void(QWidget*)>;

void clickFirstShown(QWidget* d) { QTest::mouseClick(button(d, firstShown(d)), Qt::LeftButton); }

// Runs FMess and, once the pause is over (a button holds the focus), records
// what is shown and applies `act`. If the dialog is still up at the next tick,
// `fallback` ends it; a watchdog closes it so that a fault cannot hang the test.
struct Run {
    qint16 result = 0;
    Seen seen;
    bool reachedWait = false;
};
Run drive(const QString& mt, qint16& mn, QString& mf, QWidget* caller, const Action& act,
          const Action& fallback = clickFirstShown)
{
    Run run;
    int stage = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* d = liveDialog();
        if (!d) return;
        if (clock.elapsed() > 10000) {
            d->close();
        } else if (stage == 0 && qobject_cast<QPushButton*>(d->focusWidget())) {
            stage = 1;
            run.reachedWait = true;
            run.seen = snapshot(d, caller);
            act(d);
        } else if (stage == 1) {
            stage = 2;
            run.seen.stayedOpen = true;
            fallback(d);
        }
    });
    poll.start();
    run.result = FMess(mt, mn, mf);
    return run;
}

} // namespace

class TestDiam : public QObject
{
    Q_OBJECT

    QWidget main_;
    QPushButton* answerA_ = nullptr;
    QPushButton* answerB_ = nullptr;
    QList<int> beeps_;

private slots:
    void initTestCase()
    {
        answerA_ = new QPushButton(QStringLiteral("A"), &main_);
        answerB_ = new QPushButton(QStringLiteral("B"), &main_);
        answerB_->move(0, 40);
        main_.resize(600, 400);
        main_.show();
        QVERIFY(QTest::qWaitForWindowActive(&main_));
        SetMessBeepHandler([this](int value) { beeps_ << value; });
    }
    void cleanupTestCase() { SetMessBeepHandler({}); }
    void init()
    {
        beeps_.clear();
        if (!main_.isVisible()) main_.show();
        main_.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &main_);
        answerB_->setFocus();
    }

    void beepValue_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("beep");
        QTest::newRow("silent") << 0 << 0;
        QTest::newRow("first") << 1 << 16;
        QTest::newRow("refusal") << 2 << 17;
        QTest::newRow("help missing") << 31 << 31;
        QTest::newRow("fallback") << 97 << 64;
        QTest::newRow("lifeline") << 130 << 81;
        QTest::newRow("last") << 159 << 95;
    }
    void beepValue()
    {
        QFETCH(int, code);
        QFETCH(int, beep);
        QCOMPARE(MessBeepValue(qint16(code)), beep);
    }

    // Every code through the real dialog. The kind picks the way the player
    // answers, so that every variant meets every way once.
    void everyCode_data()
    {
        QTest::addColumn<int>("code");
        for (int code = 0; code < 160; ++code)
            QTest::addRow("code %d", code) << code;
    }
    void everyCode()
    {
        QFETCH(int, code);
        const int kind = code / 32;
        const Variant& v = kVariants[size_t(code % 32)];
        auto shown = [&](int n) { return v.captions[size_t(n - 1)] != nullptr; };
        int first = 0, last = 0;
        for (int n = 4; n >= 1; --n)
            if (shown(n)) first = n;
        for (int n = 1; n <= 4; ++n)
            if (shown(n)) last = n;
        const int focus = v.focus ? v.focus : first;

        Action act;
        int expected = 0;
        bool staysOpen = false;
        switch (kind) {
        case 0: // Enter presses the focused button
            act = [](QWidget* d) { QTest::keyClick(d->focusWidget(), Qt::Key_Return); };
            expected = focus;
            break;
        case 1: // Esc presses Отмена, and nothing without it
            act = [](QWidget* d) { QTest::keyClick(d->focusWidget(), Qt::Key_Escape); };
            staysOpen = !shown(3);
            expected = staysOpen ? first : 3;
            break;
        case 2: // Enter in the text presses the first button, and nothing without it
            act = [](QWidget* d) {
                text(d)->setFocus();
                QTest::keyClick(text(d), Qt::Key_Enter);
            };
            staysOpen = !shown(1);
            expected = staysOpen ? first : 1;
            break;
        case 3:
            act = [last](QWidget* d) { QTest::mouseClick(button(d, last), Qt::LeftButton); };
            expected = last;
            break;
        default: // closing through the frame
            act = [](QWidget* d) { d->close(); };
            expected = shown(3) ? 3 : shown(2) ? 2 : 1;
        }

        qint16 mn = qint16(code);
        QString mf = QStringLiteral("not");
        const Run run = drive(QStringLiteral("Текст"), mn, mf, &main_, act);

        QVERIFY(run.reachedWait);
        for (int n = 1; n <= 4; ++n) {
            QCOMPARE(run.seen.shown[size_t(n - 1)], shown(n));
            if (shown(n)) QCOMPARE(run.seen.captions[size_t(n - 1)], QString::fromUtf8(v.captions[size_t(n - 1)]));
        }
        QCOMPARE(run.seen.focus, focus);
        QVERIFY(run.seen.focusUsable);
        QCOMPARE(run.seen.title, QString::fromUtf8(kKindTitles[size_t(kind)]));
        QCOMPARE(run.seen.text, QStringLiteral("Текст"));
        QVERIFY(run.seen.callerDisabled);
        QVERIFY(run.seen.dialogEnabled);
        QVERIFY(run.seen.owned);
        QCOMPARE(run.seen.stayedOpen, staysOpen);
        QCOMPARE(int(run.result), expected);

        QCOMPARE(int(mn), code);
        QCOMPARE(mf, QString::fromUtf8(kKindTitles[size_t(kind)]));
        const QList<int> beep = code ? QList<int>{16 + 16 * kind + code % 32 / 2} : QList<int>{};
        QCOMPARE(beeps_, beep);
        QVERIFY(!dialogExists());
        QVERIFY(main_.isEnabled());
        QCOMPARE(main_.focusWidget(), answerB_);
        QTRY_COMPARE(QApplication::activeWindow(), &main_);
    }

    void outOfRange_data()
    {
        QTest::addColumn<int>("code");
        for (int code : {160, 200, 32767, -1, -32768})
            QTest::addRow("%d", code) << code;
    }
    void outOfRange()
    {
        QFETCH(int, code);
        qint16 mn = qint16(code);
        QString mf = QStringLiteral("not");
        const Run run = drive(QStringLiteral("x"), mn, mf, &main_, [](QWidget* d) {
            QTest::keyClick(d->focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(int(mn), 97);
        QCOMPARE(mf, QStringLiteral("Сообщение."));
        QCOMPARE(run.seen.shown, (std::array<bool, 4>{true, false, false, false}));
        QCOMPARE(run.seen.captions[0], QStringLiteral("ОК"));
        QCOMPARE(int(run.result), 1);
        QCOMPARE(beeps_, QList<int>{64});
    }

    void titleKept_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("capital") << QStringLiteral("Not");
        QTest::newRow("upper") << QStringLiteral("NOT");
        QTest::newRow("empty") << QString();
        QTest::newRow("spaced") << QStringLiteral("not ");
        QTest::newRow("lifeline") << QStringLiteral("Результаты референдума");
    }
    void titleKept()
    {
        QFETCH(QString, title);
        qint16 mn = 130;
        QString mf = title;
        const Run run = drive(QStringLiteral("Опрос"), mn, mf, &main_, [](QWidget* d) {
            QTest::keyClick(d->focusWidget(), Qt::Key_Space);
        });
        QCOMPARE(mf, title);
        QCOMPARE(run.seen.title, title);
        QCOMPARE(run.seen.shown, (std::array<bool, 4>{false, true, false, false}));
        QCOMPARE(run.seen.captions[1], QStringLiteral("Закрыть"));
        QCOMPARE(int(run.result), 2);
        QCOMPARE(beeps_, QList<int>{81});
    }

    void smessWritesBack()
    {
        qint16 mn = -5;
        QString mf = QStringLiteral("not");
        QTimer::singleShot(400, [] {
            if (QWidget* d = liveDialog()) d->close();
        });
        SMess(QStringLiteral("x"), mn, mf);
        QCOMPARE(int(mn), 97);
        QCOMPARE(mf, QStringLiteral("Сообщение."));
    }

    void smessLiteralCodeDoesNotWrap()
    {
        // 65538 would be 2 in 16 bits ("Закрыть"); it is out of range, so "ОК".
        Seen seen;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, [&] {
            QWidget* d = liveDialog();
            if (d && qobject_cast<QPushButton*>(d->focusWidget())) {
                seen = snapshot(d, &main_);
                d->close();
            }
        });
        poll.start();
        SMess(QStringLiteral("x"), 65538, QStringLiteral("not"));
        QCOMPARE(seen.title, QStringLiteral("Сообщение."));
        QCOMPARE(seen.shown, (std::array<bool, 4>{true, false, false, false}));
        QCOMPARE(seen.captions[0], QStringLiteral("ОК"));
    }

    void pressDuringPauseIsDropped()
    {
        bool upDuringPause = false, focusInText = false;
        // A zero timer fires in the first event processing: inside the pause.
        QTimer::singleShot(0, [&] {
            QWidget* d = liveDialog();
            if (!d) return;
            upDuringPause = true;
            focusInText = d->focusWidget() == text(d);
            QTest::mouseClick(button(d, 2), Qt::LeftButton);
            // The click took the focus; the driver takes a focused button as the end of the pause.
            text(d)->setFocus();
            QTest::keyClick(text(d), Qt::Key_Escape);
            d->close();
        });
        QElapsedTimer clock;
        clock.start();
        qint64 pauseEnded = -1;
        qint16 mn = 7;
        QString mf = QStringLiteral("not");
        const Run run = drive(QStringLiteral("x"), mn, mf, &main_, [&](QWidget* d) {
            pauseEnded = clock.elapsed();
            QTest::mouseClick(button(d, 1), Qt::LeftButton);
        });
        QVERIFY(upDuringPause);
        QVERIFY(focusInText);
        QCOMPARE(int(run.result), 1);
        QVERIFY(!run.seen.stayedOpen);
        QVERIFY2(pauseEnded >= 280 && pauseEnded < 3000, qPrintable(QString::number(pauseEnded)));
    }

    void hiddenButtonNeverPressed()
    {
        qint16 mn = 2;
        QString mf = QStringLiteral("not");
        const Run run = drive(QStringLiteral("x"), mn, mf, &main_, [](QWidget* d) {
            for (int n : {1, 3, 4}) {
                QTest::mouseClick(button(d, n), Qt::LeftButton);
                button(d, n)->click();
            }
        });
        QVERIFY(run.seen.stayedOpen);
        QCOMPARE(int(run.result), 2);
    }

    void waitSleeps()
    {
        qint16 mn = 1;
        QString mf = QStringLiteral("not");
        QTimer::singleShot(900, [] {
            if (QWidget* d = liveDialog()) QTest::mouseClick(button(d, 1), Qt::LeftButton);
        });
        QElapsedTimer wall;
        wall.start();
        const std::clock_t cpu = std::clock();
        QCOMPARE(int(FMess(QStringLiteral("x"), mn, mf)), 1);
        const double cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
        QVERIFY(wall.elapsed() >= 850);
        QVERIFY2(cpuSeconds < 0.4, qPrintable(QString::number(cpuSeconds)));
    }

    void withoutOwner()
    {
        main_.hide();
        QTRY_VERIFY(!QApplication::activeWindow());
        qint16 mn = 1;
        QString mf = QStringLiteral("not");
        bool ownerless = false;
        const Run run = drive(QStringLiteral("x"), mn, mf, nullptr, [&](QWidget* d) {
            ownerless = !d->windowHandle()->transientParent();
            QTest::keyClick(d->focusWidget(), Qt::Key_Return);
        });
        QVERIFY(run.reachedWait);
        QVERIFY(ownerless);
        QCOMPARE(int(run.result), 1);
        QVERIFY(!dialogExists());
        QVERIFY(main_.isEnabled());
    }

    void longTextReachableByKeyboard()
    {
        const QString lines = QStringLiteral("Строка 1\r\nСтрока 2\r\nСтрока 3\r\nСтрока 4\r\nСтрока 5");
        int blocks = 0, firstVisible = -1, cursorBlock = -1;
        bool scrollBarShown = true, cursorInView = false;
        qint16 mn = 1;
        QString mf = QStringLiteral("not");
        drive(lines, mn, mf, &main_, [&](QWidget* d) {
            QPlainTextEdit* t = text(d);
            blocks = t->document()->blockCount();
            firstVisible = t->verticalScrollBar()->value();
            scrollBarShown = t->verticalScrollBar()->isVisible();
            t->setFocus();
            for (int i = 0; i < 4; ++i) QTest::keyClick(t, Qt::Key_Down);
            cursorBlock = t->textCursor().blockNumber();
            cursorInView = t->viewport()->rect().contains(t->cursorRect());
            QTest::mouseClick(button(d, 1), Qt::LeftButton);
        });
        QCOMPARE(blocks, 5);
        QCOMPARE(firstVisible, 0);
        QVERIFY(!scrollBarShown);
        QCOMPARE(cursorBlock, 4);
        QVERIFY(cursorInView);
    }

    void lookAndNames()
    {
        QImage face;
        QStringList unnamed;
        QSize size;
        qint16 mn = 31;
        QString mf = QStringLiteral("not");
        drive(QStringLiteral("Отсутствует файл справки: ReadMe.txt"), mn, mf, &main_,
              [&](QWidget* d) {
                  size = d->size();
                  face = d->grab().toImage();
                  for (QWidget* w : d->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                      if (w->accessibleName().isEmpty()) unnamed << w->objectName();
                  d->close();
              });
        QCOMPARE(size, QSize(450, 90));
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u',')));
        QVERIFY(!face.isNull());
        const qreal dpr = face.devicePixelRatio();
        auto at = [&](int x, int y) { return face.pixelColor(int(x * dpr), int(y * dpr)).rgb(); };
        // Beside the caption, inside the border of each button (left 10 + 110 n, top 57).
        QCOMPARE(at(1, 1), QColor(48, 48, 48).rgb());
        QCOMPARE(at(15, 69), QColor(255, 255, 0).rgb());
        QCOMPARE(at(125, 69), QColor(255, 255, 0).rgb());
        QCOMPARE(at(235, 69), QColor(255, 255, 255).rgb());
        QCOMPARE(at(345, 69), QColor(0, 255, 0).rgb());
    }

    // A message raised while another waits, as a sound notification could.
    void nestedMessage()
    {
        qint16 inner = 0;
        bool outerDisabled = false, outerEnabledAfter = false;
        QTimer::singleShot(600, [&] {
            QWidget* outer = liveDialog();
            if (!outer) return;
            qint16 mn = 1;
            QString mf = QStringLiteral("not");
            inner = drive(QStringLiteral("inner"), mn, mf, outer, [&](QWidget* d) {
                        outerDisabled = !outer->isEnabled() && d != outer;
                        QTest::keyClick(d->focusWidget(), Qt::Key_Return);
                    }).result;
            outerEnabledAfter = outer->isEnabled();
            QTest::mouseClick(button(outer, 3), Qt::LeftButton);
        });
        qint16 mn = 4;
        QString mf = QStringLiteral("not");
        QCOMPARE(int(FMess(QStringLiteral("outer"), mn, mf)), 3);
        QCOMPARE(int(inner), 1);
        QVERIFY(outerDisabled);
        QVERIFY(outerEnabledAfter);
        QVERIFY(main_.isEnabled());
    }
};

QTEST_MAIN(TestDiam)
#include "test_diam.moc"
