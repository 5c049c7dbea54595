// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ColourButton.h"
#include "game/GamePlay.h"
#include "game/GameScreen.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <array>

class frmMain;

// The never-shown box that receives the music player's notifications.
class PictMusBox : public QWidget
{
    Q_OBJECT
  public:
    explicit PictMusBox(frmMain* owner, QWidget* parent);

  protected:
    bool event(QEvent* e) override;

  private:
    frmMain* owner_;
};

// The game's one main window: the screen of the game it owns. Its controls are
// public like a form's, so that the tests reach them by name.
class frmMain : public QMainWindow, public GameScreen
{
    Q_OBJECT
  public:
    frmMain();
    ~frmMain() override;

    // Controls
    QLabel* Infol;
    QPlainTextEdit* Infot;
    QWidget* PictButt;
    std::array<ColourButton*, 4> ButtKey;
    ColourButton* ButtOK;
    PictMusBox* PictMus;

    // Menus
    QMenu* MnuGame;
    QAction* MnuNewGame;
    QAction* MnuAbout;
    QAction* MnuMuz;
    QAction* MnuExit;
    QMenu* MnuCom;
    QMenu* MnuAnsw;
    std::array<QAction*, 4> MnuBut; // MnuButa, MnuButb, MnuButC, MnuButd
    QMenu* MnuHint;
    QAction* MnuReferendum;
    QAction* MnuFivty;
    QAction* MnuMasters;

    // The game in progress
    GamePlay game{*this};
    qint16& Level = game.Level;
    std::array<qint32, 7>& CurrentQuestion = game.CurrentQuestion;

    // Start-up hands the game commands over once everything is loaded.
    void EnableGameCommands();
    // True while an answer, lifeline or other game action is being carried out.
    bool actionRunning() const { return game.busy(); }

    // Event handlers
    void Form_Load();
    bool Form_KeyDown(int keyCode, int shift);
    bool Infot_KeyDown(int keyCode, int shift);
    void MnuExit_Click();
    void ButtKey_Click(int index);
    void ButtOK_Click();
    void MnuBut_Click(int index);
    void MnuButa_Click() { MnuBut_Click(0); }
    void MnuButb_Click() { MnuBut_Click(1); }
    void MnuButC_Click() { MnuBut_Click(2); }
    void MnuButd_Click() { MnuBut_Click(3); }
    void MnuNewGame_Click();
    void MnuFivty_Click();
    void MnuReferendum_Click();
    void MnuMasters_Click();
    void MnuAbout_Click();
    void MnuMuz_Click();
    void PictMus_MouseMove();

    // Where pop-up menus open: a fixed point of the client area.
    QPoint popupPoint() const;

    // GameScreen
    void setHeading(const QString& text) override;
    void setText(const QString& text) override;
    void setInfoVisible(bool visible) override;
    void focusText() override;
    void setAnswer(int button, const QString& caption) override;
    void setAnswerVisible(int button, bool visible) override;
    bool answerVisible(int button) const override;
    void setAnswerColour(int button, AnswerColour colour) override;
    void setPanelVisible(bool visible) override;
    void setPanelEnabled(bool enabled) override;
    void setContinueVisible(bool visible) override;
    void focusContinue() override;
    void setActionsMenuVisible(bool visible) override;
    void setLifelineEnabled(Lifeline lifeline, bool enabled) override;
    void announce(const QString& text, const QString& caption) override;
    void endAnnouncement() override;
    void showResult(const QString& text, const QString& caption) override;
    void endResult() override;
    void message(const QString& text, int code, const QString& title) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    bool reachable(const QAction* action) const;
    // Whether Alt with the letter key (Qt::Key_A...Key_D, Key_Q) has a control to move to.
    bool takesAltLetter(int letterKey) const;

    bool exitRequested_ = false;
};

// The main window of this run (there is only one).
frmMain* MainWindow();
