#include "dialogs/FRMH.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <ctime>
#include <functional>
#include <vector>

namespace {

QWidget* helpWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("FRMH")) return w;
    return nullptr;
}
QPlainTextEdit* helpt(QWidget* h) { return h->findChild<QPlainTextEdit*>(QStringLiteral("Helpt")); }
QPushButton* buttOK(QWidget* h) { return h->findChild<QPushButton*>(QStringLiteral("ButtOK")); }
QMenu* openMenu() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

using Step = std::function<void(QWidget*)>;

// Runs DIAH and, once the help window is active, one step per timer tick. If
// the window is still open 300 ms after the last step (a mnemonic clicks with a
// delay), ButtOK ends it and the run is marked; a watchdog keeps a fault from
// hanging the test.
struct HelpRun {
    int stepsDone = 0;
    bool neededButtOK = false;
};
HelpRun runHelp(const QString& text, const QString& title, const std::vector<Step>& steps)
{
    HelpRun run;
    QElapsedTimer clock, sinceStep;
    clock.start();
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* h = helpWindow();
        if (!h || !h->isVisible()) return;
        if (clock.elapsed() > 10000) {
            h->close();
        } else if (run.stepsDone < int(steps.size())) {
            if (run.stepsDone == 0 && QApplication::activeWindow() != h) return;
            steps[size_t(run.stepsDone++)](h);
            sinceStep.start();
        } else if (!run.neededButtOK && sinceStep.elapsed() > 300) {
            run.neededButtOK = true;
            if (QMenu* menu = openMenu()) menu->close();
            buttOK(h)->click();
        }
    });
    poll.start();
    DIAH(text, title);
    return run;
}

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

    QWidget main_;
    QPushButton* answerB_ = nullptr;

private slots:
    void initTestCase()
    {
        new QPushButton(QStringLiteral("A"), &main_);
        answerB_ = new QPushButton(QStringLiteral("B"), &main_);
        answerB_->move(0, 40);
        main_.resize(600, 400);
        main_.show();
        QVERIFY(QTest::qWaitForWindowActive(&main_));
    }
    void init()
    {
        if (!main_.isVisible()) main_.show();
        main_.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &main_);
        answerB_->setFocus();
    }

    void closing_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Esc in the text") << 0;
        QTest::newRow("Esc on the button") << 1;
        QTest::newRow("click") << 2;
        QTest::newRow("Alt+З") << 3;
        QTest::newRow("frame") << 4;
    }
    void closing()
    {
        QFETCH(int, way);
        QString title, shown;
        bool mainDisabled = false, owned = false, textFocused = false;
        QSize size;
        const QString text = QStringLiteral("Строка один\r\nСтрока два\r\n");
        const HelpRun run = runHelp(text, QStringLiteral("О программе"), {[&](QWidget* h) {
            title = h->windowTitle();
            shown = helpt(h)->toPlainText();
            mainDisabled = !main_.isEnabled();
            owned = h->windowHandle()->transientParent() == main_.windowHandle();
            textFocused = QApplication::focusWidget() == helpt(h);
            size = h->size();
            switch (way) {
            case 0: QTest::keyClick(helpt(h), Qt::Key_Escape); break;
            case 1:
                buttOK(h)->setFocus();
                QTest::keyClick(buttOK(h), Qt::Key_Escape);
                break;
            case 2: QTest::mouseClick(buttOK(h), Qt::LeftButton); break;
            case 3: // Alt with the Cyrillic З
                QTest::sendKeyEvent(QTest::Press, helpt(h), Qt::Key(0x0417), QStringLiteral("з"),
                                    Qt::AltModifier);
                break;
            default: h->close();
            }
        }});
        QCOMPARE(title, QStringLiteral("О программе"));
        QCOMPARE(shown, QStringLiteral("Строка один\nСтрока два\n"));
        QVERIFY(mainDisabled);
        QVERIFY(owned);
        QVERIFY(textFocused);
        QCOMPARE(size, QSize(414, 215));
        QVERIFY(!run.neededButtOK);
        QVERIFY(!helpWindow());
        QVERIFY(main_.isEnabled());
        QCOMPARE(main_.focusWidget(), answerB_);
        QTRY_COMPARE(QApplication::activeWindow(), &main_);
    }

    void longTextScrolls()
    {
        QString text;
        for (int i = 1; i <= 60; ++i) text += QStringLiteral("Строка %1\r\n").arg(i);
        int blocks = 0, maximum = 0, afterEnd = 0;
        bool barShown = false;
        runHelp(text, QStringLiteral("О программе"), {[&](QWidget* h) {
            blocks = helpt(h)->document()->blockCount();
            barShown = helpt(h)->verticalScrollBar()->isVisible();
            maximum = helpt(h)->verticalScrollBar()->maximum();
            QTest::keyClick(helpt(h), Qt::Key_End, Qt::ControlModifier);
            afterEnd = helpt(h)->verticalScrollBar()->value();
        }});
        QCOMPARE(blocks, 61); // the last CR LF opens an empty line
        QVERIFY(barShown);
        QVERIFY(maximum > 0);
        QCOMPARE(afterEnd, maximum);
    }

    void emptyText()
    {
        QString shown = QStringLiteral("?");
        const HelpRun run = runHelp(QString(), QStringLiteral("О программе"), {[&](QWidget* h) {
            shown = helpt(h)->toPlainText();
            QTest::keyClick(helpt(h), Qt::Key_Escape);
        }});
        QVERIFY(shown.isEmpty());
        QVERIFY(!run.neededButtOK);
    }

    void contextMenuKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("opens");
        QTest::newRow("menu key") << int(Qt::Key_Menu) << 0 << true;
        QTest::newRow("with Shift") << int(Qt::Key_Menu) << int(Qt::ShiftModifier) << false;
        QTest::newRow("with Ctrl") << int(Qt::Key_Menu) << int(Qt::ControlModifier) << false;
        QTest::newRow("with Alt") << int(Qt::Key_Menu) << int(Qt::AltModifier) << false;
        QTest::newRow("other key") << int(Qt::Key_F10) << 0 << false;
    }
    void contextMenuKey()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, opens);
        bool opened = false;
        QStringList items;
        QString shortcut;
        QPoint at, expected;
        runHelp(QStringLiteral("Текст"), QStringLiteral("О программе"), {[&](QWidget* h) {
            QTest::keyClick(helpt(h), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            if (QMenu* menu = openMenu()) {
                opened = true;
                for (QAction* a : menu->actions()) items << a->text();
                if (!menu->actions().isEmpty())
                    shortcut = menu->actions().first()->shortcut().toString();
                at = menu->pos();
                expected = h->mapToGlobal(QPoint(13, 27));
                menu->close();
            }
        }});
        QCOMPARE(opened, opens);
        if (opens) {
            QCOMPARE(items, QStringList{QStringLiteral("Копировать")});
            QCOMPARE(shortcut, QStringLiteral("Ctrl+C"));
            QCOMPARE(at, expected);
        }
    }

    void copyTakesWholeText()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("старое"));
        QWidget* focusAfter = nullptr;
        QWidget* text = nullptr;
        const QString whole = QStringLiteral("Первая строка\r\nВторая строка");
        runHelp(whole, QStringLiteral("О программе"),
                {[&](QWidget* h) {
                     text = helpt(h);
                     QTextCursor c = helpt(h)->textCursor();
                     c.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
                     helpt(h)->setTextCursor(c);
                     QTest::keyClick(helpt(h), Qt::Key_Menu);
                     QMenu* menu = openMenu();
                     QVERIFY(menu && !menu->actions().isEmpty());
                     QAction* copy = menu->actions().first();
                     QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(copy).center());
                 },
                 [&](QWidget*) { focusAfter = QApplication::focusWidget(); }});
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Первая строка\nВторая строка"));
        QVERIFY(text);
        QCOMPARE(focusAfter, text);
    }

    void withoutOwner()
    {
        main_.hide();
        QTRY_VERIFY(!QApplication::activeWindow());
        bool ownerless = false;
        const HelpRun run = runHelp(QStringLiteral("x"), QStringLiteral("О программе"), {[&](QWidget* h) {
            ownerless = !h->windowHandle()->transientParent();
            QTest::keyClick(helpt(h), Qt::Key_Escape);
        }});
        QVERIFY(ownerless);
        QVERIFY(!run.neededButtOK);
        QVERIFY(!helpWindow());
    }

    void waitSleeps()
    {
        QElapsedTimer wall;
        wall.start();
        const std::clock_t cpu = std::clock();
        QTimer::singleShot(700, [] {
            if (QWidget* h = helpWindow()) buttOK(h)->click();
        });
        DIAH(QStringLiteral("x"), QStringLiteral("О программе"));
        const double cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
        QVERIFY(wall.elapsed() >= 650);
        QVERIFY2(cpuSeconds < 0.35, qPrintable(QString::number(cpuSeconds)));
    }

    void lookAndNames()
    {
        QImage face;
        QStringList unnamed;
        runHelp(QString(), QStringLiteral("О программе"), {[&](QWidget* h) {
            face = h->grab().toImage();
            for (QWidget* w : h->findChildren<QWidget*>())
                if (w->isVisible() && w->accessibleName().isEmpty() && w->parentWidget() == h)
                    unnamed << w->objectName();
        }});
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u',')));
        QVERIFY(!face.isNull());
        const qreal dpr = face.devicePixelRatio();
        auto at = [&](int x, int y) { return face.pixelColor(int(x * dpr), int(y * dpr)).rgb(); };
        QCOMPARE(at(2, 200), QColor(0, 128, 0).rgb());   // window
        QCOMPARE(at(200, 100), QColor(0, 0, 0).rgb());   // Helpt
        QVERIFY(at(62, 199) != QColor(0, 128, 0).rgb()); // ButtOK keeps the standard face
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
