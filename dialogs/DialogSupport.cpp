// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/DialogSupport.h"

#include "base/Look.h"
#include "base/PhysicalKey.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QWindow>

namespace Dialogs
{

namespace
{
QPointer<QWidget>& pendingActive()
{
    static QPointer<QWidget> window;
    return window;
}
} // namespace

void ExpectActive(QWidget* window)
{
    pendingActive() = window;
}

void Caller::take()
{
    window_ = QApplication::activeWindow();
    if (!window_ && pendingActive() && pendingActive()->isVisible()) window_ = pendingActive();
    focus_ = window_ ? window_->focusWidget() : nullptr;
    disabledHere_ = false;
}

void Caller::showOwned(QWidget* window) const
{
    if (window_) {
        window->winId();
        window_->winId();
        window->windowHandle()->setTransientParent(window_->windowHandle());
    }
    Look::centre(window, window_);
    window->show();
    window->activateWindow();
}

void Caller::disable()
{
    if (!window_ || !window_->isEnabled()) return;
    window_->setEnabled(false);
    disabledHere_ = true;
}

void Caller::enable()
{
    if (window_ && disabledHere_) window_->setEnabled(true);
    disabledHere_ = false;
}

void Caller::giveFocus() const
{
    if (!window_ || !window_->isVisible()) return;
    static const bool watching = [] {
        QObject::connect(qApp, &QGuiApplication::focusWindowChanged, [](QWindow* now) {
            if (now) pendingActive().clear();
        });
        return true;
    }();
    Q_UNUSED(watching);
    window_->activateWindow();
    pendingActive() = window_;
    // Disabling the caller took the focus from its control; give it back.
    if (focus_ && focus_->window() == window_ && focus_->isVisible() && focus_->isEnabled())
        focus_->setFocus(Qt::ActiveWindowFocusReason);
    else if (!window_->focusWidget())
        window_->setFocus(Qt::ActiveWindowFocusReason);
}

void Caller::clear()
{
    window_.clear();
    focus_.clear();
    disabledHere_ = false;
}

qint16 keyCodeOf(const QKeyEvent* event)
{
    if (const char letter = PhysicalLetter(*event)) return qint16(letter);
    const int key = event->key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return qint16(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return qint16(112 + key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Menu:
        return kContextMenuKey;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}

qint16 shiftStateOf(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers m = event->modifiers();
    qint16 state = 0;
    if (m & Qt::ShiftModifier) state |= ShiftMask;
    if (m & Qt::ControlModifier) state |= CtrlMask;
    if (m & Qt::AltModifier) state |= AltMask;
    return state;
}

bool isKeyboardContextMenu(const QEvent* event)
{
    return event->type() == QEvent::ContextMenu &&
           static_cast<const QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
}

void popUpAt(QMenu* menu, QWidget* window, int xTwips, int yTwips)
{
    menu->popup(window->mapToGlobal(QPoint(Look::px(xTwips), Look::px(yTwips))));
}

QString solidButtonSheet(const QColor& face)
{
    return QStringLiteral("QPushButton { background-color: %1; color: black;"
                          " border: 1px solid #505050; border-radius: 3px; padding: 0 2px; }"
                          " QPushButton:focus { border: 2px solid #0046c8; }"
                          " QPushButton:pressed { background-color: %2; }")
        .arg(face.name(), face.darker(125).name());
}

QString textBoxSheet(const char* className, const QColor& background, const QColor& text,
                     const QColor& focusFrame)
{
    const QColor frame((background.red() + text.red()) / 2, (background.green() + text.green()) / 2,
                       (background.blue() + text.blue()) / 2);
    return QStringLiteral("%1 { background-color: %2; color: %3; border: 1px solid %4; }"
                          " %1:focus { border-color: %5; }")
        .arg(QString::fromLatin1(className), background.name(), text.name(), frame.name(),
             focusFrame.name());
}

} // namespace Dialogs
