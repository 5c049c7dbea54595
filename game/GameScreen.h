// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

enum class AnswerColour { Open, Accepted, Right, Wrong };
enum class Lifeline { Referendum, Fifty, Masters };

// What the game rules see of the main window. The window implements it; so can
// a test, which then plays whole games without any window.
class GameScreen
{
  public:
    virtual ~GameScreen() = default;

    // The heading line above the text, and the text itself.
    virtual void setHeading(const QString& text) = 0;
    virtual void setText(const QString& text) = 0;
    virtual void setInfoVisible(bool visible) = 0;
    virtual void focusText() = 0;

    // The four answer buttons, 0 to 3 for A to D, and the panel that holds them.
    virtual void setAnswer(int button, const QString& caption) = 0;
    virtual void setAnswerVisible(int button, bool visible) = 0;
    virtual bool answerVisible(int button) const = 0;
    virtual void setAnswerColour(int button, AnswerColour colour) = 0;
    virtual void setPanelVisible(bool visible) = 0;
    virtual void setPanelEnabled(bool enabled) = 0;

    // "Продолжим?"
    virtual void setContinueVisible(bool visible) = 0;
    virtual void focusContinue() = 0;

    // The "действия" menu and its lifeline items.
    virtual void setActionsMenuVisible(bool visible) = 0;
    virtual void setLifelineEnabled(Lifeline lifeline, bool enabled) = 0;

    // Windows that stand over the screen (and disable it) while an effect plays,
    // and the message dialog, which returns when the player has closed it.
    virtual void announce(const QString& text, const QString& caption) = 0;
    virtual void endAnnouncement() = 0;
    virtual void showResult(const QString& text, const QString& caption) = 0;
    virtual void endResult() = 0;
    virtual void message(const QString& text, int code, const QString& title) = 0;
};
