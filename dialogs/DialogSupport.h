// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

class QEvent;
class QKeyEvent;
class QMenu;

namespace Dialogs
{

// A fixed-size dialog frame: caption and close box only. The announcements
// leave out the close box too.
constexpr Qt::WindowFlags kDialogFrame = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                         Qt::MSWindowsFixedSizeDialogHint;
constexpr Qt::WindowFlags kAnnouncementFrame = kDialogFrame & ~Qt::WindowCloseButtonHint;

// The window that was active when one of our waiting windows opened. It owns
// that window on the window-system level (a QWidget parent would disable the
// dialog together with its caller) and is disabled while the dialog is up.
class Caller
{
  public:
    // Remembers the window that is active now, if any, and its focused control.
    // A window just given the focus back counts as active before the window
    // system confirms it, so that a message right after a dialog still has it.
    void take();
    // Shows `window` modeless, centred over the caller and kept above it.
    void showOwned(QWidget* window) const;
    void disable();
    // Leaves a caller that someone else had disabled as it was.
    void enable();
    // Activates the caller and puts the focus back where it was.
    void giveFocus() const;
    void clear();

    QWidget* window() const { return window_; }

  private:
    QPointer<QWidget> window_;
    QPointer<QWidget> focus_;
    bool disabledHere_ = false;
};

// A window just shown and asked to become active counts as the active one until
// the window system confirms it, so that a message raised meanwhile (the refusal
// of a second copy) is owned by it and stays above it.
void ExpectActive(QWidget* window);

// Key codes and modifier bits as the key handlers see them.
constexpr qint16 kContextMenuKey = 93;
enum ShiftBits : qint16 { ShiftMask = 1, CtrlMask = 2, AltMask = 4 };
qint16 keyCodeOf(const QKeyEvent* event);
qint16 shiftStateOf(const QKeyEvent* event);

// The context-menu key must open only our pop-up: the text boxes drop the
// keyboard-triggered context-menu event that some platforms send after it.
bool isKeyboardContextMenu(const QEvent* event);

// Opens `menu` without blocking at (x, y) twips of `window`'s client area.
void popUpAt(QMenu* menu, QWidget* window, int xTwips, int yTwips);

// A solid face that every style honours; the border keeps the shape of a button
// and changes with the focus.
QString solidButtonSheet(const QColor& face);
// A text box of solid colours whose frame lights up while it has the focus.
QString textBoxSheet(const char* className, const QColor& background, const QColor& text,
                     const QColor& focusFrame);

} // namespace Dialogs
