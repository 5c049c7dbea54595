// SPDX-License-Identifier: GPL-3.0-or-later
// Every question and answer of the shipped bank shows whole on the main window,
// in the font base/TextFit picks for it: measured with the real widgets, at the
// scale the test runs with (ctest runs it at 1 and at 2).
#include "app/frmMain.h"
#include "base/TextFit.h"
#include "content/OpinSaving.h"
#include "content/QuestionBank.h"

#include <QAbstractButton>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

class TestFit : public QObject
{
    Q_OBJECT
    Bank::QuestionTable bank;
    std::unique_ptr<frmMain> f;

  private slots:
    void initTestCase()
    {
        const auto bytes =
            ReadFileBytes(qEnvironmentVariable("QUORVEL_GAME_DIR") + "/questions.qvr");
        QVERIFY(bytes);
        bank.load(Bank::PlainTextFromFile(*bytes));
        f = std::make_unique<frmMain>();
        f->show();
        f->Infot->show();
        f->PictButt->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
    }

    void everyQuestionShowsWhole()
    {
        QStringList clipped;
        int smaller = 0, count = 0;
        for (int level = 0; level < 15; ++level)
            for (int q : bank.playable(level)) {
                const QString text = bank(level, 0, q);
                f->setText(text);
                ++count;
                const std::optional<QFont> fit = TextFit::QuestionFont(text);
                QVERIFY2(fit, qPrintable(text));
                QCOMPARE(f->Infot->font(), *fit);
                if (f->Infot->font().pointSizeF() < 15.7) ++smaller;
                // Laid out by the box itself: the last line is inside, no scroll bar.
                QTextCursor end = f->Infot->textCursor();
                end.movePosition(QTextCursor::End);
                f->Infot->setTextCursor(end);
                const bool whole = f->Infot->verticalScrollBar()->maximum() == 0 &&
                                   f->Infot->verticalScrollBar()->value() == 0 &&
                                   f->Infot->cursorRect().bottom() < f->Infot->viewport()->height();
                if (!whole) clipped << QStringLiteral("%1: %2").arg(level + 1).arg(text);
            }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u'\n')));
        QVERIFY(count > 600);
        // The window keeps its look: the font goes down only here and there.
        QVERIFY2(smaller * 10 < count, qPrintable(QString::number(smaller)));
    }

    void everyAnswerFitsItsButton()
    {
        QStringList clipped;
        int smaller = 0, count = 0;
        for (int level = 0; level < 15; ++level)
            for (int q : bank.playable(level))
                for (int field = 1; field <= 4; ++field)
                    for (int k = 0; k < 4; ++k) {
                        const QString caption =
                            QString(QChar(u'A' + k)) + ": " + bank(level, field, q);
                        f->setAnswer(k, caption);
                        ColourButton* b = f->ButtKey[k];
                        ++count;
                        const std::optional<QFont> fit = TextFit::AnswerFont(caption);
                        QVERIFY2(fit, qPrintable(caption));
                        QCOMPARE(b->font(), *fit);
                        if (b->font().pointSizeF() < 15.7) ++smaller;
                        const QFontMetrics fm(b->font());
                        const int room = TextFit::AnswerRoom();
                        if (fm.horizontalAdvance(b->text()) > room || fm.height() > b->height() - 8)
                            clipped << caption;
                    }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u'\n')));
        QVERIFY2(smaller * 10 < count, qPrintable(QString::number(smaller)));
    }

    // The room TextFit measures in is the room the widgets give the text: the
    // width the question box wraps its lines at and the height inside it, with
    // and without the focus, and what an answer button's style leaves its caption.
    void windowGivesTheRoomTextFitAssumes()
    {
        const QSize room = TextFit::QuestionRoom();
        const int margin = int(f->Infot->document()->documentMargin());
        for (bool focused : {false, true}) {
            if (focused) {
                f->activateWindow();
                f->focusText();
                QTRY_VERIFY(f->Infot->hasFocus());
            } else {
                f->ButtKey[1]->setFocus();
                QTRY_VERIFY(!f->Infot->hasFocus());
            }
            f->setText(QStringLiteral("Сколько дней в неделе?"));
            const QTextLayout* layout = f->Infot->document()->firstBlock().layout();
            QVERIFY(layout && layout->lineCount() == 1);
            QCOMPARE(layout->lineAt(0).width(), qreal(room.width()));
            QCOMPARE(f->Infot->viewport()->height() - 2 * margin, room.height());
        }
        for (ColourButton* b : f->ButtKey) {
            b->setFocus();
            QTRY_VERIFY(b->hasFocus());
            QStyleOptionButton option;
            option.initFrom(b);
            option.text = b->text();
            const QRect contents =
                b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
            QCOMPARE(contents.width(), TextFit::AnswerRoom());
        }
    }

    // Short texts keep the window's size; a long one steps down, and back up.
    void fontStepsDownOnlyWhereNeeded()
    {
        f->setText(QStringLiteral("Сколько дней в неделе?"));
        QCOMPARE(f->Infot->font().pointSizeF(), 15.75);
        f->setText(QStringLiteral("очень длинный вопрос ").repeated(10));
        QVERIFY(f->Infot->font().pointSizeF() < 15.75);
        QCOMPARE(f->Infot->verticalScrollBar()->maximum(), 0);
        f->setText(QStringLiteral("Коротко?"));
        QCOMPARE(f->Infot->font().pointSizeF(), 15.75);
        // Where no step fits, the window shows the smallest and the bank tool warns.
        const QString tooLong = QStringLiteral("очень длинный вопрос ").repeated(60);
        QVERIFY(!TextFit::QuestionFont(tooLong));
        f->setText(tooLong);
        QCOMPARE(f->Infot->font().pointSizeF(), TextFit::kFontSteps.back());
        const QString tooWide =
            QStringLiteral("A: ") + QStringLiteral("широкий ответ ").repeated(6);
        QVERIFY(!TextFit::AnswerFont(tooWide));
        f->setAnswer(1, tooWide);
        QCOMPARE(f->ButtKey[1]->font().pointSizeF(), TextFit::kFontSteps.back());
        f->setAnswer(0, QStringLiteral("A: Семь"));
        QCOMPARE(f->ButtKey[0]->font().pointSizeF(), 15.75);
        QVERIFY(f->ButtKey[0]->font().bold());
    }

    // The question box keeps the focus, its place in the Tab order and the
    // keyboard selection, but draws no caret: the player only reads it.
    void questionBoxDrawsNoCaret()
    {
        f->activateWindow();
        QTRY_VERIFY(f->isActiveWindow());
        f->setText(QString());
        f->focusText();
        QTRY_VERIFY(f->Infot->hasFocus());
        QCOMPARE(f->Infot->cursorWidth(), 0);
        QVERIFY(f->Infot->textInteractionFlags() & Qt::TextSelectableByKeyboard);
        // Placing the cursor shows the caret at once (before it blinks off); an
        // empty box then is all background.
        f->Infot->setTextCursor(QTextCursor(f->Infot->document()));
        const QImage shot = f->Infot->viewport()->grab().toImage();
        const QRgb background = shot.pixel(shot.width() - 1, shot.height() - 1);
        int marked = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                marked += shot.pixel(x, y) != background;
        QCOMPARE(marked, 0);
        // The keyboard still selects.
        f->setText(QStringLiteral("Сколько дней в неделе?"));
        QTest::keyClick(f->Infot, Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(f->Infot->textCursor().selectedText(), QStringLiteral("Сколько дней в неделе?"));
        QTest::keyClick(f->Infot, Qt::Key_Tab);
        QVERIFY(f->ButtKey[0]->hasFocus());
    }

    // What a screen reader reads: the heading, the text and each answer (with
    // its letter) are the controls' names, which change with them (the events go
    // out with the names; tests/atspi_play.py hears them on the bus), and every
    // control it can reach has a Russian name.
    void namesCarryWhatTheScreenShows()
    {
        f->setHeading(QStringLiteral("Вопрос первый: и на кону 125 рублей."));
        f->setText(QStringLiteral("Сколько дней в неделе?"));
        f->setAnswer(2, QStringLiteral("C: Семь"));
        QCOMPARE(f->Infol->accessibleName(),
                 QStringLiteral("Вопрос первый: и на кону 125 рублей."));
        QCOMPARE(f->Infot->accessibleName(), QStringLiteral("Сколько дней в неделе?"));
        QCOMPARE(f->ButtKey[2]->accessibleName(), QStringLiteral("C: Семь"));
        QStringList unnamed;
        for (QWidget* w : f->findChildren<QWidget*>())
            if ((w->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton*>(w)) &&
                w->accessibleName().isEmpty() && !qobject_cast<QScrollBar*>(w))
                unnamed << w->objectName() + ':' + w->metaObject()->className();
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u',')));
    }

    void cleanupTestCase() { f.reset(); }
};

QTEST_MAIN(TestFit)
#include "test_fit.moc"
