// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/FRMH.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QWindow>
#include <QtTest>

#include <ctime>
#include <functional>
#include <vector>

namespace
{

QWidget* helpWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("FRMH")) return w;
    return nullptr;
}
QPlainTextEdit* helpt(QWidget* h)
{
    return h->findChild<QPlainTextEdit*>(QStringLiteral("Helpt"));
}
QPushButton* buttOK(QWidget* h)
{
    return h->findChild<QPushButton*>(QStringLiteral("ButtOK"));
}
QMenu* openMenu()
{
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

using Step = std::function<void(QWidget*)>;

// Runs DIAH and, once the help window is active, one step per timer tick.
// Returns false if the steps left it open: 300 ms after the last one (a
// mnemonic clicks with a delay) ButtOK closes it, as does a watchdog.
bool runHelp(const QString& text, const std::vector<Step>& steps)
{
    bool closedBySteps = true;
    size_t done = 0;
    QElapsedTimer clock, sinceStep;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* h = helpWindow();
        if (!h) return;
        if (clock.elapsed() > 10000 || (done == steps.size() && sinceStep.elapsed() > 300)) {
            closedBySteps = false;
            if (QMenu* menu = openMenu()) menu->close();
            buttOK(h)->click();
        } else if (done < steps.size() && h->isVisible() &&
                   (done > 0 || QApplication::activeWindow() == h)) {
            steps[done++](h);
            sinceStep.start();
        }
    });
    poll.start(10);
    DIAH(text, QStringLiteral("О программе"));
    return closedBySteps;
}

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

    QWidget main_;
    QPushButton* answer_ = nullptr;

  private slots:
    void initTestCase()
    {
        answer_ = new QPushButton(QStringLiteral("B"), &main_);
        main_.resize(600, 400);
    }
    void init()
    {
        main_.show();
        main_.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &main_);
        answer_->setFocus();
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
        QVERIFY(runHelp(QStringLiteral("Строка один\r\nСтрока два\r\n"), {[&](QWidget* h) {
                            title = h->windowTitle();
                            shown = helpt(h)->toPlainText();
                            mainDisabled = !main_.isEnabled();
                            owned = h->windowHandle()->transientParent() == main_.windowHandle();
                            textFocused = QApplication::focusWidget() == helpt(h);
                            size = h->size();
                            if (way == 0) QTest::keyClick(helpt(h), Qt::Key_Escape);
                            if (way == 1) {
                                buttOK(h)->setFocus();
                                QTest::keyClick(buttOK(h), Qt::Key_Escape);
                            }
                            if (way == 2) QTest::mouseClick(buttOK(h), Qt::LeftButton);
                            if (way == 3) // Alt with the Cyrillic З
                                QTest::sendKeyEvent(QTest::Press, helpt(h), Qt::Key(0x0417),
                                                    QStringLiteral("з"), Qt::AltModifier);
                            if (way == 4) h->close();
                        }}));
        QCOMPARE(title, QStringLiteral("О программе"));
        QCOMPARE(shown, QStringLiteral("Строка один\nСтрока два\n"));
        QVERIFY(mainDisabled && owned && textFocused);
        QCOMPARE(size, QSize(414, 215));
        QVERIFY(!helpWindow());
        QVERIFY(main_.isEnabled());
        QCOMPARE(main_.focusWidget(), answer_);
        QTRY_COMPARE(QApplication::activeWindow(), &main_);
    }

    void longTextScrolls()
    {
        QString text;
        for (int i = 1; i <= 60; ++i)
            text += QStringLiteral("Строка %1\r\n").arg(i);
        int maximum = 0, afterEnd = -1;
        bool bar = false;
        runHelp(text, {[&](QWidget* h) {
                    bar = helpt(h)->verticalScrollBar()->isVisible();
                    maximum = helpt(h)->verticalScrollBar()->maximum();
                    QTest::keyClick(helpt(h), Qt::Key_End, Qt::ControlModifier);
                    afterEnd = helpt(h)->verticalScrollBar()->value();
                }});
        QVERIFY(bar && maximum > 0);
        QCOMPARE(afterEnd, maximum);
    }

    void contextMenuKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("menu key") << int(Qt::Key_Menu) << 0;
        QTest::newRow("with Shift") << int(Qt::Key_Menu) << int(Qt::ShiftModifier);
        QTest::newRow("with Ctrl") << int(Qt::Key_Menu) << int(Qt::ControlModifier);
        QTest::newRow("with Alt") << int(Qt::Key_Menu) << int(Qt::AltModifier);
        QTest::newRow("other key") << int(Qt::Key_F10) << 0;
    }
    void contextMenuKey()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QStringList items;
        QPoint at, expected;
        runHelp(QStringLiteral("Текст"), {[&](QWidget* h) {
                    QTest::keyClick(helpt(h), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
                    if (!openMenu()) {
                        // Some platforms follow the key with a keyboard context-menu request.
                        QContextMenuEvent request(QContextMenuEvent::Keyboard, {5, 5}, {5, 5});
                        QApplication::sendEvent(helpt(h), &request);
                    }
                    if (QMenu* menu = openMenu()) {
                        for (QAction* a : menu->actions())
                            items << a->text() << a->shortcut().toString();
                        at = menu->pos();
                        expected = h->mapToGlobal(QPoint(13, 27));
                        menu->close();
                    }
                }});
        if (key == Qt::Key_Menu && !modifiers) {
            QCOMPARE(items, (QStringList{QStringLiteral("Копировать"), QStringLiteral("Ctrl+C")}));
            QCOMPARE(at, expected);
        } else {
            QVERIFY(items.isEmpty());
        }
    }

    void copyTakesWholeText()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("старое"));
        QWidget *text = nullptr, *focusAfter = nullptr;
        runHelp(QStringLiteral("Первая строка\r\nВторая строка"),
                {[&](QWidget* h) {
                     text = helpt(h);
                     QTextCursor c = helpt(h)->textCursor();
                     c.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
                     helpt(h)->setTextCursor(c);
                     QTest::keyClick(helpt(h), Qt::Key_Menu);
                     QMenu* menu = openMenu();
                     QVERIFY(menu && menu->actions().size() == 1);
                     const QPoint item = menu->actionGeometry(menu->actions().first()).center();
                     QTest::mouseClick(menu, Qt::LeftButton, {}, item);
                 },
                 [&](QWidget*) { focusAfter = QApplication::focusWidget(); }});
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("Первая строка\nВторая строка"));
        QVERIFY(text && focusAfter == text);
    }

    // Ctrl+C copies the whole text, also with a selection and under the Russian
    // layout (Ctrl+С on the C key); Alt+З closes under the US layout (Alt+P).
    void copyKeyAndCloseKeyInEveryLayout()
    {
        for (const bool russian : {false, true}) {
            QGuiApplication::clipboard()->setText(QStringLiteral("старое"));
            QVERIFY(runHelp(QStringLiteral("Первая строка\r\nВторая строка"),
                            {[&](QWidget* h) {
                                 QTextCursor c = helpt(h)->textCursor();
                                 c.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
                                 helpt(h)->setTextCursor(c);
                                 QKeyEvent copy(
                                     QEvent::KeyPress, russian ? 0x0421 : int(Qt::Key_C),
                                     Qt::ControlModifier, russian ? 54 : 0, russian ? 0x43 : 0, 0,
                                     russian ? QStringLiteral("с") : QStringLiteral("c"));
                                 QApplication::sendEvent(helpt(h), &copy);
                             },
                             [&](QWidget* h) {
                                 QKeyEvent close(QEvent::KeyPress, int(Qt::Key_P), Qt::AltModifier,
                                                 33, 0x50, 0, QStringLiteral("p"));
                                 QApplication::sendEvent(helpt(h), &close);
                             }}));
            QCOMPARE(QGuiApplication::clipboard()->text(),
                     QStringLiteral("Первая строка\nВторая строка"));
            QVERIFY(!helpWindow());
        }
    }

    void withoutOwner()
    {
        main_.hide();
        QTRY_VERIFY(!QApplication::activeWindow());
        bool ownerless = false;
        QVERIFY(runHelp(QStringLiteral("x"), {[&](QWidget* h) {
                            ownerless = !h->windowHandle()->transientParent();
                            QTest::keyClick(helpt(h), Qt::Key_Escape);
                        }}));
        QVERIFY(ownerless);
    }

    void lookNamesAndIdleWait()
    {
        QImage face;
        QStringList unnamed;
        const std::clock_t cpu = std::clock();
        QElapsedTimer wall;
        wall.start();
        runHelp(QString(), {[&](QWidget* h) {
                    face = h->grab().toImage();
                    for (QWidget* w : h->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                        if (w->isVisible() && w->accessibleName().isEmpty())
                            unnamed << w->objectName();
                }});
        const double cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
        QVERIFY(wall.elapsed() >= 300);
        QVERIFY2(cpuSeconds < 0.25, qPrintable(QString::number(cpuSeconds)));
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u',')));
        const auto at = [&](int x, int y) {
            return face.pixelColor(QPoint(x, y) * face.devicePixelRatio()).rgb();
        };
        QCOMPARE(at(2, 200), qRgb(0, 128, 0));   // the window
        QCOMPARE(at(200, 100), qRgb(0, 0, 0));   // Helpt
        QVERIFY(at(62, 199) != qRgb(0, 128, 0)); // ButtOK keeps the standard face
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
