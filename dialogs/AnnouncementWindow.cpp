// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/AnnouncementWindow.h"

#include "base/Look.h"

#include <QAccessible>
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

namespace Dialogs
{

AnnouncementWindow::AnnouncementWindow(const AnnouncementLook& look)
    : QWidget(nullptr, kAnnouncementFrame), MnuChego(new QMenu(this))
{
    setObjectName(QString::fromLatin1(look.name));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(look.firstCaption);
    Look::fixClientSize(this, look.clientWidth, look.clientHeight);
    Look::paint(this, look.background);

    if (look.multiLine) {
        auto* box = new QPlainTextEdit(this);
        box->setReadOnly(true);
        box->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
        box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->document()->setDocumentMargin(1);
        box->setCursorWidth(0); // an announcement is read, not edited
        box->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
        box->setStyleSheet(
            textBoxSheet("QPlainTextEdit", look.textBackground, look.textColour, look.textColour));
        text_ = box;
    } else {
        auto* box = new QLineEdit(this);
        box->setReadOnly(true);
        box->setAlignment(Qt::AlignCenter);
        box->setStyleSheet(
            textBoxSheet("QLineEdit", look.textBackground, look.textColour, QColor(255, 255, 0)));
        text_ = box;
    }
    text_->setObjectName(QString::fromLatin1(look.textName));
    text_->setAccessibleName(look.textAccessibleName);
    text_->setGeometry(Look::rect(look.textLeft, look.textTop, look.textWidth, look.textHeight));
    text_->setFont(Look::font(look.textPoints, true));
    text_->installEventFilter(this);

    MnuChego->setObjectName(QStringLiteral("MnuChego"));
    MnuChego->setTitle(look.menuCaption);
    MnuChego->setAccessibleName(look.menuCaption);
    // Choosing the item does nothing.
    MnuChego->addAction(look.itemCaption)->setObjectName(QStringLiteral("MnuChto"));
}

void AnnouncementWindow::setText(const QString& text)
{
    text_->setAccessibleDescription(text);
    if (auto* line = qobject_cast<QLineEdit*>(text_))
        line->setText(text);
    else
        static_cast<QPlainTextEdit*>(text_)->setPlainText(text);
}

void AnnouncementWindow::focusText()
{
    text_->setFocus();
}

void AnnouncementWindow::popUpOnMenuKey(qint16 KeyCode, qint16 Shift)
{
    if (KeyCode == kContextMenuKey && Shift == 0) popUpAt(MnuChego, this, 200, 400);
}

bool AnnouncementWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == text_) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            qint16 KeyCode = keyCodeOf(key);
            qint16 Shift = shiftStateOf(key);
            textKeyDown(KeyCode, Shift);
            if (MnuChego->isVisible()) return true;
        } else if (isKeyboardContextMenu(event)) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AnnouncementWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

Announcement::~Announcement()
{
    // Past the end of the application a window can no longer be destroyed safely.
    if (!QCoreApplication::instance()) (void)window_.release();
}

void Announcement::open(std::unique_ptr<AnnouncementWindow> fresh, const QString& text,
                        const QString& caption)
{
    close(); // openings are never nested; a second one replaces the first
    CallerForm.take();
    window_ = std::move(fresh);
    window_->setWindowTitle(caption);
    window_->setAccessibleName(caption);
    window_->setText(text);
    // Read out as it opens: the window's name is its caption and its text.
    window_->setAccessibleDescription(text);
    CallerForm.showOwned(window_.get());
    CallerForm.disable();
    window_->focusText();
    QAccessibleEvent alert(window_.get(), QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void Announcement::close()
{
    CallerForm.enable();
    CallerForm.giveFocus();
    CallerForm.clear();
    window_.reset();
}

} // namespace Dialogs
