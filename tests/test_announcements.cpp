// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/Announcements.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextLayout>
#include <QWindow>
#include <QtTest>

namespace
{

// which: 0 for FRMG, 1 for FRMC.
void openWindow(int which, const QString& text, const QString& caption)
{
    which ? Congratulation(text, caption) : Velcom(text, caption);
}
void closeWindow(int which)
{
    which ? ConNot() : VelNot();
}
QWidgetList windows(int which)
{
    QWidgetList found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(which ? "FRMC" : "FRMG")) found << w;
    return found;
}
QWidget* window(int which)
{
    return windows(which).value(0);
}
QWidget* textBox(int which)
{
    return window(which)->findChild<QWidget*>(which ? QStringLiteral("ConText")
                                                    : QStringLiteral("gText"));
}
QString textOf(int which)
{
    if (auto* line = qobject_cast<QLineEdit*>(textBox(which))) return line->text();
    return qobject_cast<QPlainTextEdit*>(textBox(which))->toPlainText();
}
QMenu* openMenu()
{
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

} // namespace

class TestAnnouncements : public QObject
{
    Q_OBJECT

    QWidget main_;
    QPushButton* answer_ = nullptr;

  private slots:
    void initTestCase()
    {
        answer_ = new QPushButton(QStringLiteral("B"), &main_);
        main_.resize(900, 400);
    }
    void init()
    {
        main_.show();
        main_.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &main_);
        answer_->setFocus();
    }
    void cleanup()
    {
        // A failed check must not leave the next case a disabled owner.
        VelNot();
        ConNot();
    }

    // The program's own announcements, shown exactly as passed.
    void openAndClose_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::newRow("farewell") << 0 << QStringLiteral("ПОКА!") << QStringLiteral("Закрываюсь");
        QTest::newRow("new game") << 0 << QStringLiteral("Желаю победы!")
                                  << QStringLiteral("Новая игра!");
        QTest::newRow("hint") << 0 << QStringLiteral("50 на 50") << QStringLiteral("Подсказка:");
        QTest::newRow("sum") << 1 << QStringLiteral("Вы выигрываете первую незгараемую сумму.")
                             << QStringLiteral("ПОЗДРАВЛЯЮ!");
        QTest::newRow("victory") << 1
                                 << QStringLiteral(
                                        "Вы выграли 2000000 рублей, вместа одного обещеного!")
                                 << QStringLiteral("ПОБЕДА!");
        QTest::newRow("referendum")
            << 1 << QStringLiteral("Мы проводим референдум с населением планеты \"земля\"!")
            << QStringLiteral("РЕФЕРЕНДУМ!");
        QTest::newRow("empty caption")
            << 1 << QStringLiteral("Дорогие, магистры, помогите пожалуйста нам!") << QString();
    }
    void openAndClose()
    {
        QFETCH(int, which);
        QFETCH(QString, text);
        QFETCH(QString, caption);

        // Up at once, with no event processing in between.
        openWindow(which, text, caption);
        QWidget* w = window(which);
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->windowTitle(), caption);
        QCOMPARE(textOf(which), text);
        QCOMPARE(w->size(), which ? QSize(800, 49) : QSize(500, 80));
        QVERIFY(!main_.isEnabled());
        QCOMPARE(w->windowHandle()->transientParent(), main_.windowHandle());

        // The player cannot close it; the owner stays disabled.
        QVERIFY(!(w->windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!w->close());
        QTRY_COMPARE(QApplication::activeWindow(), w);
        QCOMPARE(QApplication::focusWidget(), textBox(which));
        QTest::keyClick(textBox(which), Qt::Key_Escape);
        QVERIFY(w->isVisible() && !main_.isEnabled());

        // The text fits its box, on one line.
        QFontMetrics metrics(textBox(which)->font());
        if (auto* plain = qobject_cast<QPlainTextEdit*>(textBox(which))) {
            QCOMPARE(plain->document()->firstBlock().layout()->lineCount(), 1);
            QVERIFY(metrics.height() <= plain->viewport()->height());
        } else {
            QVERIFY(metrics.horizontalAdvance(text) < textBox(which)->width() - 4);
            QVERIFY(metrics.height() <= textBox(which)->height() - 2);
        }

        // Colours: the window, then the box beside the centred text.
        const QImage face = w->grab().toImage();
        const auto at = [&](int x, int y) {
            return face.pixelColor(QPoint(x, y) * face.devicePixelRatio()).rgb();
        };
        QCOMPARE(at(3, 3), which ? qRgb(160, 0, 0) : qRgb(240, 128, 0));
        QCOMPARE(at(13, 14), which ? qRgb(160, 0, 0) : qRgb(0, 0, 0));
        QVERIFY(!textBox(which)->accessibleName().isEmpty());

        closeWindow(which);
        QVERIFY(!window(which));
        QVERIFY(main_.isEnabled());
        QCOMPARE(main_.focusWidget(), answer_);
        QTRY_COMPARE(QApplication::activeWindow(), &main_);
        QTRY_COMPARE(QApplication::focusWidget(), answer_);
    }

    void freshEachTime_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("FRMG") << 0;
        QTest::newRow("FRMC") << 1;
    }
    void freshEachTime()
    {
        QFETCH(int, which);
        openWindow(which, QStringLiteral("Первый"), QStringLiteral("Один"));
        window(which)->setStyleSheet(QStringLiteral("* { background: blue; }"));
        closeWindow(which);
        openWindow(which, QString(), QStringLiteral("Два"));
        QCOMPARE(window(which)->windowTitle(), QStringLiteral("Два"));
        QCOMPARE(textOf(which), QString());
        QVERIFY(window(which)->styleSheet().isEmpty());
    }

    void contextMenuKey_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("modifiers");
        const std::pair<const char*, int> mods[] = {{"alone", 0},
                                                    {"Shift", int(Qt::ShiftModifier)},
                                                    {"Ctrl", int(Qt::ControlModifier)},
                                                    {"Alt", int(Qt::AltModifier)}};
        for (const auto& [mod, m] : mods) {
            QTest::addRow("FRMG %s", mod) << 0 << m;
            QTest::addRow("FRMC %s", mod) << 1 << m;
        }
    }
    void contextMenuKey()
    {
        QFETCH(int, which);
        QFETCH(int, modifiers);
        openWindow(which, QStringLiteral("Текст"), QStringLiteral("Заголовок"));
        QWidget* w = window(which);
        QTRY_COMPARE(QApplication::activeWindow(), w);
        QTest::keyClick(textBox(which), Qt::Key_Menu, Qt::KeyboardModifiers(modifiers));
        if (!openMenu()) {
            // Some platforms follow the key with a keyboard context-menu request.
            QContextMenuEvent request(QContextMenuEvent::Keyboard, {5, 5}, {5, 5});
            QApplication::sendEvent(textBox(which), &request);
        }
        QMenu* menu = openMenu();
        if (modifiers) {
            QVERIFY(!menu);
            return;
        }
        QVERIFY(menu && menu->actions().size() == 1);
        QCOMPARE(menu->pos(), w->mapToGlobal(QPoint(13, 27)));
        QAction* only = menu->actions().first();
        QCOMPARE(only->text(),
                 which ? QStringLiteral("Что это?") : QStringLiteral("Чего это такое?"));
        // Choosing the item changes nothing.
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(only).center());
        QTRY_VERIFY(!openMenu());
        QVERIFY(w->isVisible() && !main_.isEnabled());
        QCOMPARE(textOf(which), QStringLiteral("Текст"));
    }

    void ownerThroughSequences()
    {
        // Closing one window leaves the other alone.
        Velcom(QStringLiteral("Желаю победы!"), QStringLiteral("Новая игра!"));
        Congratulation(QStringLiteral("К сожалению, вы проиграли."), QStringLiteral("ПОРАЖЕНИЕ!"));
        VelNot();
        QVERIFY(!window(0) && window(1)->isVisible());
        QCOMPARE(textOf(1), QStringLiteral("К сожалению, вы проиграли."));
        ConNot();
        QVERIFY(!window(1) && main_.isEnabled());

        // Reopened before the owner is active again: it is still the owner.
        Congratulation(QStringLiteral("a"), QStringLiteral("b"));
        QTRY_COMPARE(QApplication::activeWindow(), window(1));
        ConNot();
        Velcom(QStringLiteral("50 на 50"), QStringLiteral("Подсказка:"));
        QVERIFY(!main_.isEnabled());
        QCOMPARE(window(0)->windowHandle()->transientParent(), main_.windowHandle());

        // A second opening replaces the first; closing twice is harmless.
        QTRY_COMPARE(QApplication::activeWindow(), window(0));
        Velcom(QStringLiteral("Второй"), QStringLiteral("2"));
        QCOMPARE(windows(0).size(), 1);
        QCOMPARE(textOf(0), QStringLiteral("Второй"));
        VelNot();
        VelNot();
        QVERIFY(!window(0) && main_.isEnabled());
    }

    void withoutOwner()
    {
        main_.hide();
        QTRY_VERIFY(!QApplication::activeWindow());
        Velcom(QStringLiteral("ПОКА!"), QStringLiteral("Закрываюсь"));
        QVERIFY(window(0) && window(0)->isVisible());
        QVERIFY(!window(0)->windowHandle()->transientParent());
        VelNot();
        QVERIFY(!window(0));
    }
};

QTEST_MAIN(TestAnnouncements)
#include "test_announcements.moc"
