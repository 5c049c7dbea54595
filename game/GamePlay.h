// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "game/GameScreen.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <utility>

// The game in progress and the player's commands to it. The main window owns
// one and routes its buttons and menu items here; a test can drive one
// through a screen of its own.
class GamePlay
{
  public:
    explicit GamePlay(GameScreen& screen) : screen_(screen) {}

    qint16 Level = 0;                        // question on screen, 1 to 15; 0 before the first
    std::array<qint32, 7> CurrentQuestion{}; // question index, answers on A to D, right button

    // Start-up hands the commands over once everything is loaded.
    void enable() { enabled_ = true; }
    bool enabled() const { return enabled_; }
    // The farewell has begun: no command runs any more, and a running one stops
    // at its next step.
    void leave() { leaving_ = true; }
    bool leaving() const { return leaving_; }
    // True while an answer, lifeline or other command is being carried out.
    bool busy() const { return depth_ > 0; }
    // From a new game until it is lost or won.
    bool inGame() const { return inGame_; }

    // Runs `command` unless another one is under way (the waits inside a
    // command process events, so a second click would otherwise nest), start-up
    // is not done or the player is leaving. Returns whether it ran.
    template <typename F> bool run(F&& command)
    {
        if (!enabled_ || leaving_ || depth_ > 0) return false;
        ++depth_;
        std::forward<F>(command)();
        --depth_;
        return true;
    }

    void NewGame();
    void Answer(int button);     // a click on answer button 0 to 3
    void AnswerItem(int button); // its menu item: acts on a shown button only
    void Continue();             // "Продолжим?"
    void Fifty();
    void Referendum();
    void Masters();

  private:
    // Referendum and masters: the lifeline's result is reported in a message
    // while the answers are hidden.
    using Hint = QString (*)(GameScreen&, const std::array<qint32, 7>&, qint16);
    void reportedLifeline(Lifeline lifeline, Hint hint, const QString& title);

    GameScreen& screen_;
    bool enabled_ = false;
    bool leaving_ = false;
    int depth_ = 0;
    bool inGame_ = false;
};
