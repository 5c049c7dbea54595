// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dialogs/DialogSupport.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <memory>

class QMenu;

namespace Dialogs
{

// What tells FRMG and FRMC apart; sizes in twips.
struct AnnouncementLook {
    const char* name;
    const char* textName;
    QString textAccessibleName;
    QString firstCaption;
    int clientWidth, clientHeight;
    QColor background;
    int textLeft, textTop, textWidth, textHeight;
    QColor textBackground, textColour;
    double textPoints;
    bool multiLine;
    QString menuCaption, itemCaption;
};

// One line of large text under a caption, shown while an effect plays. The
// player cannot close it; only the program's closing call does.
class AnnouncementWindow : public QWidget
{
  public:
    explicit AnnouncementWindow(const AnnouncementLook& look);
    void setText(const QString& text);
    void focusText();

  protected:
    // The key handler of the text box, gText_KeyDown or ConText_KeyDown.
    virtual void textKeyDown(qint16& KeyCode, qint16& Shift) = 0;
    // What both handlers do: the context-menu key alone opens MnuChego.
    void popUpOnMenuKey(qint16 KeyCode, qint16 Shift);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget* text_;
    QMenu* MnuChego;
};

// Opening and closing of one announcement window with its remembered owner.
class Announcement
{
  public:
    ~Announcement();
    void open(std::unique_ptr<AnnouncementWindow> fresh, const QString& text,
              const QString& caption);
    void close();

  private:
    std::unique_ptr<AnnouncementWindow> window_;
    Caller CallerForm;
};

} // namespace Dialogs
