// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/DIAM.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QWindow>
#include <QtTest>

#include <array>
#include <ctime>
#include <functional>

namespace
{

// Per variant (code mod 32): the captions, "" for hidden, and the button that
// gets the focus after the pause (0: none, so the first shown one has it).
struct Variant {
    std::array<const char*, 4> captions;
    int focus;
};
const char *const P = "Пропустить", *const C = "Продолжить", *const X = "Отмена",
                  *const H = "Помощь", *const Y = "Дда", *const N = "Нет", *const K = "ОК",
                  *const Z = "Закрыть", *const R = "Заменить", *const A = "Добавить", *const o = "";
const Variant kVariants[32] = {
    {{o, C, X, o}, 0}, {{K, o, o, o}, 0}, {{o, Z, o, o}, 0}, {{Y, N, o, o}, 0}, {{o, o, X, o}, 0},
    {{K, o, X, o}, 0}, {{P, C, X, o}, 0}, {{Y, N, X, o}, 0}, {{o, C, X, H}, 0}, {{K, o, o, H}, 0},
    {{o, Z, o, H}, 0}, {{Y, N, o, H}, 0}, {{o, o, X, H}, 0}, {{K, o, X, H}, 0}, {{P, C, X, H}, 0},
    {{Y, N, X, H}, 0}, {{o, C, X, o}, 3}, {{P, R, X, A}, 0}, {{P, R, X, A}, 2}, {{Y, N, o, o}, 2},
    {{P, R, X, A}, 3}, {{K, o, X, o}, 3}, {{P, C, X, o}, 2}, {{Y, N, X, o}, 2}, {{o, C, X, H}, 3},
    {{K, o, o, H}, 4}, {{o, Z, o, H}, 4}, {{Y, N, o, H}, 2}, {{o, o, X, H}, 4}, {{K, o, X, H}, 3},
    {{P, C, X, H}, 2}, {{Y, N, X, H}, 2},
};
const char* const kTitles[5] = {"Ошибка!", "Внимание!", "Вопрос", "Сообщение.", "Подтвердите."};

bool dialogExists()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("DIAM")) return true;
    return false;
}
// The dialog that takes input: one that waits for another one is disabled.
QWidget* liveDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("DIAM") && w->isVisible() && w->isEnabled()) return w;
    return nullptr;
}
QPushButton* button(QWidget* d, int n)
{
    return d->findChild<QPushButton*>(QStringLiteral("Mbutt%1").arg(n));
}
QPlainTextEdit* text(QWidget* d)
{
    return d->findChild<QPlainTextEdit*>(QStringLiteral("Mtext"));
}
int firstShown(QWidget* d)
{
    for (int n = 1; n <= 4; ++n)
        if (button(d, n)->isVisible()) return n;
    return 0;
}

struct Seen {
    QStringList captions; // "" for a hidden button
    int focus = -1;       // 0: Mtext, 1 to 4: a button
    QString title;
    bool callerDisabled = false, owned = false, stayedOpen = false;
};
using Action = std::function<void(QWidget*)>;
void enter(QWidget* d)
{
    QTest::keyClick(d->focusWidget(), Qt::Key_Return);
}

// Drives the next message. Once the pause is over (a button has the focus)
// records what is shown and applies `act`; if the dialog is still up at a later
// tick (`patience` ms on), clicks the first shown button. A watchdog closes a
// dialog that would hang the test.
class Driver
{
  public:
    explicit Driver(Action act, QWidget* caller = nullptr, int patience = 0)
    {
        clock_.start();
        QObject::connect(&poll_, &QTimer::timeout, [this, act, caller, patience] {
            QWidget* d = liveDialog();
            if (!d) return;
            if (clock_.elapsed() > 10000) {
                d->close();
            } else if (stage_ == 0 && qobject_cast<QPushButton*>(d->focusWidget())) {
                stage_ = 1;
                for (int n = 1; n <= 4; ++n) {
                    seen.captions << (button(d, n)->isVisible() ? button(d, n)->text() : QString());
                    if (d->focusWidget() == button(d, n)) seen.focus = n;
                }
                seen.title = d->windowTitle();
                seen.callerDisabled = caller && !caller->isEnabled();
                seen.owned =
                    caller && d->windowHandle()->transientParent() == caller->windowHandle();
                act(d);
                acted_.start();
            } else if (stage_ == 1 && acted_.elapsed() >= patience) {
                stage_ = 2;
                seen.stayedOpen = true;
                QTest::mouseClick(button(d, firstShown(d)), Qt::LeftButton);
            }
        });
        poll_.start(5);
    }
    Seen seen;

  private:
    QTimer poll_;
    QElapsedTimer clock_, acted_;
    int stage_ = 0;
};

qint16 drive(const QString& mt, qint16& mn, QString& mf, const Action& act, Seen* seen = nullptr,
             QWidget* caller = nullptr)
{
    Driver driver(act, caller);
    const qint16 result = FMess(mt, mn, mf);
    if (seen) *seen = driver.seen;
    return result;
}

} // namespace

class TestDiam : public QObject
{
    Q_OBJECT

    QWidget main_;
    QPushButton* answer_ = nullptr;
    QList<int> beeps_;

  private slots:
    void initTestCase()
    {
        answer_ = new QPushButton(QStringLiteral("B"), &main_);
        main_.resize(600, 400);
        SetMessBeepHandler([this](int value) { beeps_ << value; });
    }
    void init()
    {
        beeps_.clear();
        main_.show();
        main_.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &main_);
        answer_->setFocus();
    }

    // The kind picks the way of answering, so every variant meets each way once.
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
        const Variant& v = kVariants[code % 32];
        QStringList captions;
        for (const char* caption : v.captions)
            captions << QString::fromUtf8(caption);
        const auto shown = [&](int n) { return !captions[n - 1].isEmpty(); };
        int first = 0, last = 0;
        for (int n = 1; n <= 4; ++n)
            if (shown(n)) {
                if (!first) first = n;
                last = n;
            }
        const int focus = v.focus ? v.focus : first;
        const std::array<Action, 5> ways{
            enter, [](QWidget* d) { QTest::keyClick(d->focusWidget(), Qt::Key_Escape); },
            [](QWidget* d) {
                text(d)->setFocus();
                QTest::keyClick(text(d), Qt::Key_Enter);
            },
            [last](QWidget* d) { QTest::mouseClick(button(d, last), Qt::LeftButton); },
            [](QWidget* d) { d->close(); }};
        // Esc without Отмена and Enter in the text without the first button do nothing.
        const bool staysOpen = (kind == 1 && !shown(3)) || (kind == 2 && !shown(1));
        const std::array<int, 5> expected{focus, 3, 1, last, shown(3) ? 3 : shown(2) ? 2 : 1};

        qint16 mn = qint16(code);
        QString mf = QStringLiteral("not");
        Seen seen;
        const qint16 result = drive(QStringLiteral("Текст"), mn, mf, ways[kind], &seen, &main_);

        QCOMPARE(seen.captions, captions);
        QCOMPARE(seen.focus, focus);
        QCOMPARE(seen.title, QString::fromUtf8(kTitles[kind]));
        QVERIFY(seen.callerDisabled && seen.owned);
        QCOMPARE(seen.stayedOpen, staysOpen);
        QCOMPARE(int(result), staysOpen ? first : expected[kind]);
        QCOMPARE(int(mn), code);
        QCOMPARE(mf, QString::fromUtf8(kTitles[kind]));
        QCOMPARE(beeps_, code ? QList<int>{16 + 16 * kind + code % 32 / 2} : QList<int>{});
        QVERIFY(!dialogExists());
        QVERIFY(main_.isEnabled());
        QCOMPARE(main_.focusWidget(), answer_);
        QTRY_COMPARE(QApplication::activeWindow(), &main_);
    }

    void writeBacks_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("code2");
        QTest::addColumn<QString>("title2");
        QTest::addColumn<int>("beep");
        const QString message = QStringLiteral("Сообщение.");
        for (int code : {160, 32767, -1, -32768})
            QTest::addRow("code %d", code) << code << QStringLiteral("not") << 97 << message << 64;
        for (const QString& t :
             {QStringLiteral("Not"), QStringLiteral("NOT"), QStringLiteral("not "), QString(),
              QStringLiteral("Результаты референдума")})
            QTest::addRow("title '%s'", qPrintable(t)) << 130 << t << 130 << t << 81;
    }
    void writeBacks()
    {
        QFETCH(int, code);
        QFETCH(QString, title);
        QFETCH(int, code2);
        QFETCH(QString, title2);
        QFETCH(int, beep);
        qint16 mn = qint16(code);
        Driver driver(enter);
        SMess(QStringLiteral("x"), mn, title);
        QCOMPARE(int(mn), code2);
        QCOMPARE(title, title2);
        QCOMPARE(driver.seen.title, title2);
        QCOMPARE(beeps_, QList<int>{beep});
    }

    void literalCodeDoesNotWrap()
    {
        // 65538 is 2 in 16 bits ("Закрыть"); out of range, it must be 97 ("ОК").
        Driver driver([](QWidget* d) { d->close(); });
        SMess(QStringLiteral("x"), 65538, QStringLiteral("not"));
        QCOMPARE(driver.seen.captions, (QStringList{QStringLiteral("ОК"), {}, {}, {}}));
        QCOMPARE(beeps_, QList<int>{64});
    }

    void pauseDropsPressesAndWaitsIdle()
    {
        bool duringPause = false;
        // A zero timer fires at the first event processing, which is the pause.
        QTimer::singleShot(0, [&] {
            QWidget* d = liveDialog();
            duringPause = d && d->focusWidget() == text(d);
            if (!d) return;
            QTest::mouseClick(button(d, 2), Qt::LeftButton);
            text(d)->setFocus(); // the click took it; the driver looks for a focused button
            QTest::keyClick(text(d), Qt::Key_Escape);
            d->close();
        });
        QElapsedTimer clock;
        clock.start();
        const std::clock_t cpu = std::clock();
        qint64 pause = 0;
        qint16 mn = 7;
        QString mf = QStringLiteral("not");
        Driver driver([&](QWidget*) { pause = clock.elapsed(); }, nullptr, 500);
        const qint16 result = FMess(QStringLiteral("x"), mn, mf);
        const double cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
        QVERIFY(duringPause);
        QVERIFY2(pause >= 280 && pause < 3000, qPrintable(QString::number(pause)));
        QVERIFY(driver.seen.stayedOpen);
        QCOMPARE(int(result), 1); // the driver's click half a second on, not the early ones
        QVERIFY2(cpuSeconds < 0.3, qPrintable(QString::number(cpuSeconds)));
    }

    void hiddenButtonNeverPressed()
    {
        qint16 mn = 2;
        QString mf = QStringLiteral("not");
        Seen seen;
        const qint16 result = drive(
            QStringLiteral("x"), mn, mf,
            [](QWidget* d) {
                for (int n : {1, 3, 4}) {
                    QTest::mouseClick(button(d, n), Qt::LeftButton);
                    button(d, n)->click();
                }
            },
            &seen);
        QVERIFY(seen.stayedOpen);
        QCOMPARE(int(result), 2);
    }

    void ownerRightAfterAnotherMessage()
    {
        // The second message comes before the caller is active again.
        qint16 mn = 1;
        QString mf = QStringLiteral("not");
        Seen first, second;
        drive(QStringLiteral("1"), mn, mf, enter, &first, &main_);
        drive(QStringLiteral("2"), mn, mf, enter, &second, &main_);
        QVERIFY(first.owned && first.callerDisabled);
        QVERIFY(second.owned && second.callerDisabled);
        QVERIFY(main_.isEnabled());
    }

    void withoutOwner()
    {
        main_.hide();
        QTRY_VERIFY(!QApplication::activeWindow());
        qint16 mn = 1;
        QString mf = QStringLiteral("not");
        bool ownerless = false;
        QCOMPARE(int(drive(QStringLiteral("x"), mn, mf,
                           [&](QWidget* d) {
                               ownerless = !d->windowHandle()->transientParent();
                               enter(d);
                           })),
                 1);
        QVERIFY(ownerless);
    }

    // A message raised while another waits, as a sound notification could.
    void nestedMessage()
    {
        qint16 inner = 0;
        Seen seen;
        bool outerBackAfter = false;
        QTimer::singleShot(600, [&] {
            QWidget* outer = liveDialog();
            if (!outer) return;
            qint16 mn = 1;
            QString mf = QStringLiteral("not");
            inner = drive(QStringLiteral("inner"), mn, mf, enter, &seen, outer);
            outerBackAfter = outer->isEnabled();
            button(outer, 3)->click();
        });
        qint16 mn = 4;
        QString mf = QStringLiteral("not");
        QCOMPARE(int(FMess(QStringLiteral("outer"), mn, mf)), 3);
        QCOMPARE(int(inner), 1);
        QVERIFY(seen.owned && seen.callerDisabled && outerBackAfter);
        QVERIFY(main_.isEnabled());
    }

    // The refusal of a second copy and a long missing path: every line lies
    // whole inside the box, above the buttons.
    void everyLineOfAMessageShows_data()
    {
        QTest::addColumn<QString>("message");
        QTest::newRow("refusal") << QStringLiteral(
            "Ты чо делаешь?\r\nКворвел уже запущен.\r\nИшь, жадный какой!");
        QTest::newRow("long path")
            << QStringLiteral("Отсутствует файл:\r\n") +
                   QStringLiteral("/home/игрок/очень длинная папка с играми/").repeated(3) +
                   QStringLiteral("sounds/9.mid");
        QTest::newRow("one line") << QStringLiteral("Одна строка");
    }
    void everyLineOfAMessageShows()
    {
        QFETCH(QString, message);
        qint16 mn = 2;
        QString mf = QStringLiteral("not");
        int bottom = 0, room = 0, boxBottom = 0, buttonsTop = 0, windowBottom = 0, lines = 0;
        QSize size;
        drive(message, mn, mf, [&](QWidget* d) {
            QPlainTextEdit* t = text(d);
            QTextCursor end = t->textCursor();
            end.movePosition(QTextCursor::End);
            t->setTextCursor(end);
            bottom = t->cursorRect().bottom();
            room = t->viewport()->height();
            lines = 0;
            for (QTextBlock b = t->document()->begin(); b.isValid(); b = b.next())
                lines += b.layout()->lineCount();
            boxBottom = t->geometry().bottom();
            buttonsTop = button(d, 2)->geometry().top();
            windowBottom = d->height();
            size = d->size();
            QVERIFY2(t->verticalScrollBar()->value() == 0,
                     qPrintable(QStringLiteral("%1 lines, box %2, max %3")
                                    .arg(lines)
                                    .arg(t->height())
                                    .arg(t->verticalScrollBar()->maximum())));
            enter(d);
        });
        QVERIFY2(bottom < room, qPrintable(QStringLiteral("%1 of %2").arg(bottom).arg(room)));
        QVERIFY(boxBottom < buttonsTop && buttonsTop < windowBottom);
        if (lines <= 3) QCOMPARE(size.width(), 450);
        if (lines == 1) QCOMPARE(size, QSize(450, 90));
    }

    void lookAndLongText()
    {
        QImage face;
        QStringList unnamed;
        QSize size;
        int blocks = 0, top = -1, line = -1;
        bool bar = true, caretInView = false;
        qint16 mn = 31;
        QString mf = QStringLiteral("not");
        drive(QStringLiteral("1\r\n2\r\n3\r\n4\r\n5"), mn, mf, [&](QWidget* d) {
            size = d->size();
            face = d->grab().toImage();
            for (QWidget* w : d->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (w->accessibleName().isEmpty()) unnamed << w->objectName();
            QPlainTextEdit* t = text(d);
            blocks = t->document()->blockCount();
            top = t->verticalScrollBar()->value();
            bar = t->verticalScrollBar()->isVisible();
            t->setFocus();
            for (int i = 0; i < 4; ++i)
                QTest::keyClick(t, Qt::Key_Down);
            line = t->textCursor().blockNumber();
            caretInView = t->viewport()->rect().contains(t->cursorRect());
            d->close();
        });
        // The window keeps its width and grows to show all five lines.
        QCOMPARE(size.width(), 450);
        QVERIFY(size.height() > 90);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u',')));
        // The window, then inside the border of each button (left 10 + 110 n, top 57).
        const auto at = [&](int x, int y) {
            return face.pixelColor(QPointF(x, y).toPoint() * face.devicePixelRatio()).rgb();
        };
        const int grown = size.height() - 90;
        QCOMPARE(at(1, 1), qRgb(48, 48, 48));
        QCOMPARE(at(15, 69 + grown), qRgb(255, 255, 0));
        QCOMPARE(at(125, 69 + grown), qRgb(255, 255, 0));
        QCOMPARE(at(235, 69 + grown), qRgb(255, 255, 255));
        QCOMPARE(at(345, 69 + grown), qRgb(0, 255, 0));
        // Five lines without a scroll bar; the keyboard reaches the last one.
        QCOMPARE(blocks, 5);
        QCOMPARE(top, 0);
        QVERIFY(!bar);
        QCOMPARE(line, 4);
        QVERIFY(caretInView);
    }
};

QTEST_MAIN(TestDiam)
#include "test_diam.moc"
