// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ColourButton.h"

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

// The game's one main window. Its controls are public like a form's, so the
// game modules (and the tests) reach them by name.
class frmMain : public QMainWindow
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
    qint16 Level = 0;
    std::array<qint32, 7> CurrentQuestion{};

    // Start-up hands the game commands over once everything is loaded.
    void EnableGameCommands();
    // True while an answer, lifeline or other game action is being carried out.
    bool actionRunning() const { return actionDepth_ > 0; }

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

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    // Runs a game command unless another one is under way or start-up is not done.
    template <typename F> void gameCommand(F&& command);
    bool reachable(const QAction* action) const;

    bool commandsEnabled_ = false;
    bool leaving_ = false;
    bool exitRequested_ = false;
    int actionDepth_ = 0;
};

// The main window of this run (there is only one).
frmMain* MainWindow();
