// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmMain.h"

#include "app/SubMain.h"
#include "base/Look.h"
#include "base/PhysicalKey.h"
#include "base/Process.h"
#include "base/TextFit.h"
#include "content/OpinSaving.h"
#include "content/QuestionBank.h"
#include "dialogs/Announcements.h"
#include "dialogs/DIAM.h"
#include "dialogs/FRMH.h"
#include "sound/QVRPlayFiles.h"
#include "sound/modMusic.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMenuBar>
#include <cmath>

namespace
{
frmMain* theMainWindow = nullptr;

const QColor kAnswerGreen(0, 255, 0);
const QColor kAccepted(0, 191, 255);
const QColor kRight(255, 127, 0);
const QColor kWrong(224, 32, 255);

int shiftState(Qt::KeyboardModifiers m)
{
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}
} // namespace

frmMain* MainWindow()
{
    return theMainWindow;
}

PictMusBox::PictMusBox(frmMain* owner, QWidget* parent) : QWidget(parent), owner_(owner) {}

bool PictMusBox::event(QEvent* e)
{
    if (e->type() == PlaybackEventType) {
        owner_->PictMus_MouseMove();
        return true;
    }
    return QWidget::event(e);
}

frmMain::frmMain()
{
    theMainWindow = this;
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Кворвел!"));
    setFont(Look::font(8.25, true));
    buildControls();
    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // A fixed single frame: no maximising, and the menu bar keeps its height
    // when the farewell empties it.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    menuBar()->setFixedHeight(menuBar()->sizeHint().height());
    qApp->installEventFilter(this);
    SetMusicReceiver(PictMus);
    Form_Load();
}

frmMain::~frmMain()
{
    qApp->removeEventFilter(this);
    SetMusicReceiver(nullptr);
    if (theMainWindow == this) theMainWindow = nullptr;
}

void frmMain::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(Look::px(15240), Look::px(10560));
    Look::paint(client, QColor(0, 0, 255));
    setCentralWidget(client);

    Infol = new QLabel(QStringLiteral("Выводимая информация:"), client);
    Infol->setObjectName(QStringLiteral("Infol"));
    Infol->setFont(Look::font(18, true));
    Infol->setGeometry(Look::rect(150, 4950, 14940, 615));
    Infol->setStyleSheet(QStringLiteral("color: rgb(0, 255, 255); background: transparent;"));
    Infol->setAccessibleName(Infol->text());
    Infol->hide();

    Infot = new QPlainTextEdit(client);
    Infot->setObjectName(QStringLiteral("Infot"));
    Infot->setFont(TextFit::QuestionFontAt(TextFit::kFontSteps.front()));
    // Two lines of the largest question, below the heading and above the answers.
    Infot->setGeometry(Look::rect(150, 5580, TextFit::kQuestionWidth, TextFit::kQuestionHeight));
    Infot->setReadOnly(true);
    Infot->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    // The player only reads here: no blinking caret, though the keyboard still
    // selects and a screen reader still follows the (invisible) cursor.
    Infot->setCursorWidth(0);
    Infot->setFocusPolicy(Qt::StrongFocus);
    Infot->setContextMenuPolicy(Qt::NoContextMenu);
    Infot->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Infot->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Infot->document()->setDocumentMargin(TextFit::kQuestionMargin);
    Infot->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: rgb(0, 0, 96); color: white; border: %1px "
                       "solid rgb(0, 0, 96); }"
                       "QPlainTextEdit:focus { border: %1px solid rgb(0, 255, 255); }")
            .arg(TextFit::kQuestionBorder));
    Infot->setAccessibleName(Infot->toPlainText());
    Infot->setAccessibleDescription(QStringLiteral("Вопрос и сообщения игры"));
    Infot->hide();

    PictButt = new QWidget(client);
    PictButt->setObjectName(QStringLiteral("PictButt"));
    PictButt->setGeometry(Look::rect(0, 6600, 15360, 2085));
    Look::paint(PictButt, QColor(0, 0, 255));
    PictButt->setAccessibleName(QStringLiteral("Ответы"));
    static const int left[4] = {300, 7770, 300, 7770};
    static const int top[4] = {300, 300, 1200, 1200};
    for (int i = 0; i < 4; ++i) {
        auto* b = new ColourButton(PictButt);
        b->setObjectName(QStringLiteral("ButtKey%1").arg(i));
        b->setFont(TextFit::AnswerFontAt(TextFit::kFontSteps.front()));
        b->setGeometry(Look::rect(left[i], top[i], TextFit::kAnswerWidth, TextFit::kAnswerHeight));
        b->setBackColor(kAnswerGreen);
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAccessibleName(QStringLiteral("Ответ %1").arg(QChar(u'A' + i)));
        connect(b, &QPushButton::clicked, this, [this, i] { ButtKey_Click(i); });
        ButtKey[i] = b;
    }
    PictButt->hide();

    ButtOK = new ColourButton(client);
    ButtOK->setObjectName(QStringLiteral("ButtOK"));
    ButtOK->setText(QStringLiteral("Продолжим?"));
    ButtOK->setFont(Look::font(24, true));
    ButtOK->setGeometry(Look::rect(5175, 9000, 4890, 960));
    ButtOK->setBackColor(Qt::white);
    ButtOK->setAccessibleName(ButtOK->text());
    connect(ButtOK, &QPushButton::clicked, this, &frmMain::ButtOK_Click);
    ButtOK->hide();

    PictMus = new PictMusBox(this, client);
    PictMus->setObjectName(QStringLiteral("PictMus"));
    PictMus->setGeometry(Look::rect(0, 10500, 15240, 300));
    PictMus->setFocusPolicy(Qt::NoFocus);
    PictMus->setAccessibleName(QStringLiteral("Уведомления музыки"));
    client->setAccessibleName(QStringLiteral("Игровое поле"));
    PictMus->hide();

    setTabOrder(Infot, ButtKey[0]);
    for (int i = 0; i < 3; ++i)
        setTabOrder(ButtKey[i], ButtKey[i + 1]);
    setTabOrder(ButtKey[3], ButtOK);
}

void frmMain::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setFont(Look::font(9.75));
    auto add = [this](QMenu* menu, const QString& caption, int key, void (frmMain::*slot)()) {
        QAction* a = menu->addAction(caption);
        if (key) a->setShortcut(QKeySequence(key));
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [this, a, slot] {
            if (reachable(a)) (this->*slot)();
        });
        return a;
    };

    MnuGame = bar->addMenu(QStringLiteral("&игра"));
    MnuGame->setObjectName(QStringLiteral("MnuGame"));
    MnuNewGame = add(MnuGame, QStringLiteral("Новая игра"), Qt::Key_F9, &frmMain::MnuNewGame_Click);
    MnuAbout = add(MnuGame, QStringLiteral("О программе"), Qt::Key_F1, &frmMain::MnuAbout_Click);
    MnuMuz = add(MnuGame, QStringLiteral("Выключить музыку"), Qt::Key_F11, &frmMain::MnuMuz_Click);
    MnuExit = add(MnuGame, QStringLiteral("Выход"), Qt::Key_F12, &frmMain::MnuExit_Click);

    MnuCom = bar->addMenu(QStringLiteral("&действия"));
    MnuCom->setObjectName(QStringLiteral("MnuCom"));
    MnuAnsw = MnuCom->addMenu(QStringLiteral("&Ответы..."));
    MnuBut[0] = add(MnuAnsw, QStringLiteral("A:"), Qt::Key_F5, &frmMain::MnuButa_Click);
    MnuBut[1] = add(MnuAnsw, QStringLiteral("B:"), Qt::Key_F6, &frmMain::MnuButb_Click);
    MnuBut[2] = add(MnuAnsw, QStringLiteral("C:"), Qt::Key_F7, &frmMain::MnuButC_Click);
    MnuBut[3] = add(MnuAnsw, QStringLiteral("D:"), Qt::Key_F8, &frmMain::MnuButd_Click);
    MnuHint = MnuCom->addMenu(QStringLiteral("&помощь"));
    MnuReferendum =
        add(MnuHint, QStringLiteral("Референдум"), Qt::Key_F2, &frmMain::MnuReferendum_Click);
    MnuFivty = add(MnuHint, QStringLiteral("50 на 50"), Qt::Key_F3, &frmMain::MnuFivty_Click);
    MnuMasters = add(MnuHint, QStringLiteral("Магистры"), Qt::Key_F4, &frmMain::MnuMasters_Click);

    bar->setAccessibleName(QStringLiteral("Меню"));
    for (QWidget* more : bar->findChildren<QWidget*>(QStringLiteral("qt_menubar_ext_button")))
        more->setAccessibleName(QStringLiteral("Ещё пункты меню"));
    for (QMenu* menu : {MnuGame, MnuCom, MnuAnsw, MnuHint})
        menu->setAccessibleName(QString(menu->title()).remove(u'&'));

    // Until start-up is over only the menu itself is there.
    for (QAction* a : MnuGame->actions())
        a->setEnabled(false);
}

bool frmMain::reachable(const QAction* action) const
{
    // A shortcut acts only while its item can be seen and chosen.
    if (!action->isEnabled() || !action->isVisible()) return false;
    auto* a = const_cast<QAction*>(action);
    const auto open = [](const QMenu* m) {
        return m->menuAction()->isVisible() && m->menuAction()->isEnabled();
    };
    if (MnuGame->actions().contains(a)) return open(MnuGame);
    for (const QMenu* sub : {MnuAnsw, MnuHint})
        if (sub->actions().contains(a)) return open(sub) && open(MnuCom);
    return true;
}

void frmMain::EnableGameCommands()
{
    game.enable();
    for (QAction* a : MnuGame->actions())
        a->setEnabled(true);
    if (exitRequested_) MnuExit_Click();
}

void frmMain::Form_Load()
{
    MnuCom->menuAction()->setVisible(false);
    setHeading(QStringLiteral("Аналог телеигры   \"Тривелон!\""));
    setText(QStringLiteral("Добро пожаловать в новую игру!"));
    MusicOff = 0;
}

QPoint frmMain::popupPoint() const
{
    return centralWidget()->mapToGlobal(QPoint(Look::px(200), Look::px(400)));
}

bool frmMain::Form_KeyDown(int keyCode, int shift)
{
    if (shift != 4) return false;
    if (keyCode >= Qt::Key_A && keyCode <= Qt::Key_D) {
        if (takesAltLetter(keyCode)) ButtKey[keyCode - Qt::Key_A]->setFocus();
        return true;
    }
    if (keyCode == Qt::Key_Q) {
        if (takesAltLetter(keyCode)) Infot->setFocus();
        return true;
    }
    return false;
}

bool frmMain::Infot_KeyDown(int keyCode, int shift)
{
    if (keyCode != Qt::Key_Menu || shift != 0) return false;
    QMenu* menu = MnuCom->menuAction()->isVisible() ? MnuCom : MnuGame;
    menu->popup(popupPoint());
    return true;
}

bool frmMain::takesAltLetter(int letterKey) const
{
    if (letterKey >= Qt::Key_A && letterKey <= Qt::Key_D)
        return !ButtKey[letterKey - Qt::Key_A]->isHidden() && PictButt->isVisible() &&
               PictButt->isEnabled();
    return letterKey == Qt::Key_Q && Infot->isVisible();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // Alt+Ф...Alt+В and Alt+Й are the keys A...D and Q: while they have
        // something to do, no menu access letter of the layout may take them.
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* key = static_cast<QKeyEvent*>(event);
        const char letter = PhysicalLetter(*key);
        if (widget && widget->window() == this && letter && shiftState(key->modifiers()) == 4 &&
            takesAltLetter(Qt::Key_A + (letter - 'A'))) {
            event->accept();
            return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    // The window looks at a key where it arrives: at the focused control, or at
    // itself when it has none or the control let the key pass.
    if (widget != focusWidget() && widget != this) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const int shift = shiftState(key->modifiers());
    // Letter keys by the key pressed, not by the letter the layout types.
    int code = key->key();
    if (const char letter = PhysicalLetter(*key)) code = Qt::Key_A + (letter - 'A');
    if (Form_KeyDown(code, shift)) return true;
    if (widget == Infot && Infot_KeyDown(code, shift)) return true;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && shift == 0) {
        // Buttons take Enter themselves; elsewhere Enter presses the default button.
        if (auto* b = qobject_cast<QPushButton*>(widget); b && b->isEnabled()) {
            b->click();
            return true;
        }
        if (ButtOK->isVisible() && ButtOK->isEnabled()) {
            ButtOK->click();
            return true;
        }
    }
    return false;
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Form_Unload: the window never closes by itself; every way out is the farewell.
    event->ignore();
    if (!game.enabled()) {
        exitRequested_ = true;
        return;
    }
    MnuExit_Click();
}

void frmMain::MnuExit_Click()
{
    if (game.leaving()) return;
    game.leave();
    PictButt->hide();
    ButtOK->hide(); // the window is left empty
    MnuGame->menuAction()->setVisible(false);
    MnuCom->menuAction()->setVisible(false);
    Infol->hide();
    Infot->hide();
    Velcom(QStringLiteral("ПОКА!"), QStringLiteral("Закрываюсь"));
    PlayEffect(14);
    VelNot();
    EndProgram();
}

void frmMain::ButtKey_Click(int index)
{
    game.Answer(index);
}

void frmMain::ButtOK_Click()
{
    game.Continue();
}

void frmMain::MnuBut_Click(int index)
{
    game.AnswerItem(index);
}

void frmMain::MnuNewGame_Click()
{
    game.NewGame();
}

void frmMain::MnuFivty_Click()
{
    game.Fifty();
}

void frmMain::MnuReferendum_Click()
{
    game.Referendum();
}

void frmMain::MnuMasters_Click()
{
    game.Masters();
}

void frmMain::MnuAbout_Click()
{
    game.run([] {
        const QString path = AppPath + QStringLiteral("ReadMe.txt");
        if (!IsOrdinaryFile(path)) {
            SMess(QStringLiteral("Отсутствует файл справки: ReadMe.txt"), 31,
                  QStringLiteral("not"));
            return;
        }
        const int kept = CurrentTrack;
        PlayMusic(12);
        DIAH(ReadTextFile(path), QStringLiteral("О программе"));
        PlayMusic(kept);
    });
}

void frmMain::MnuMuz_Click()
{
    game.run([this] {
        if (MnuMuz->text() != QStringLiteral("Выключить музыку")) {
            MusicOff = 0;
            PlayMusic(CurrentTrack);
            MnuMuz->setText(QStringLiteral("Выключить музыку"));
        } else {
            StopMusic();
            PlayEffect(15);
            MnuMuz->setText(QStringLiteral("Включить музыку"));
            MusicOff = -1;
        }
    });
}

void frmMain::PictMus_MouseMove()
{
    KeepMusicLooping();
}

namespace
{
// A screen reader hears a text when it changes: the control's name is the text.
void announceName(QWidget* widget, const QString& name)
{
    widget->setAccessibleName(name);
    QAccessibleEvent event(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}
} // namespace

void frmMain::setHeading(const QString& text)
{
    Infol->setText(text);
    announceName(Infol, text.isEmpty() ? QStringLiteral("Заголовок") : text);
}

void frmMain::setText(const QString& text)
{
    Infot->setFont(TextFit::QuestionFontOrSmallest(text));
    const QString before = Infot->toPlainText();
    Infot->setPlainText(text);
    // The box's name is its text too, so that the change is read out as a whole.
    announceName(Infot, text.isEmpty() ? QStringLiteral("Текст") : text);
    QAccessibleTextUpdateEvent update(Infot, 0, before, text);
    QAccessible::updateAccessibility(&update);
}

void frmMain::setInfoVisible(bool visible)
{
    Infol->setVisible(visible);
    Infot->setVisible(visible);
}

void frmMain::focusText()
{
    Infot->setFocus();
}

void frmMain::setAnswer(int button, const QString& caption)
{
    ButtKey[button]->setFont(TextFit::AnswerFontOrSmallest(caption));
    ButtKey[button]->setText(caption);
    announceName(ButtKey[button], caption);
}

void frmMain::setAnswerVisible(int button, bool visible)
{
    ButtKey[button]->setVisible(visible);
}

bool frmMain::answerVisible(int button) const
{
    return !ButtKey[button]->isHidden();
}

void frmMain::setAnswerColour(int button, AnswerColour colour)
{
    static const QColor colours[] = {kAnswerGreen, kAccepted, kRight, kWrong};
    ButtKey[button]->setBackColor(colours[int(colour)]);
}

void frmMain::setPanelVisible(bool visible)
{
    PictButt->setVisible(visible);
}

void frmMain::setPanelEnabled(bool enabled)
{
    PictButt->setEnabled(enabled);
}

void frmMain::setContinueVisible(bool visible)
{
    ButtOK->setVisible(visible);
}

void frmMain::focusContinue()
{
    ButtOK->setFocus();
}

void frmMain::setActionsMenuVisible(bool visible)
{
    MnuCom->menuAction()->setVisible(visible);
}

void frmMain::setLifelineEnabled(Lifeline lifeline, bool enabled)
{
    QAction* items[] = {MnuReferendum, MnuFivty, MnuMasters};
    items[int(lifeline)]->setEnabled(enabled);
}

void frmMain::announce(const QString& text, const QString& caption)
{
    Velcom(text, caption);
}

void frmMain::endAnnouncement()
{
    VelNot();
}

void frmMain::showResult(const QString& text, const QString& caption)
{
    Congratulation(text, caption);
}

void frmMain::endResult()
{
    ConNot();
}

void frmMain::message(const QString& text, int code, const QString& title)
{
    SMess(text, code, title);
}
