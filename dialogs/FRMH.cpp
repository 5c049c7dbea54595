// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/FRMH.h"

#include "base/Look.h"
#include "base/PhysicalKey.h"
#include "dialogs/DialogSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

namespace
{

class FRMH final : public QWidget
{
  public:
    FRMH();
    void DIAH(const QString& hText, const QString& hTitle);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool windowKey(const QKeyEvent* key);
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void ButtOK_Click();
    void Helpt_KeyDown(qint16& KeyCode, qint16& Shift);
    void MnuCopy_Click();

    QPlainTextEdit* Helpt;
    QPushButton* ButtOK;
    QMenu* MnuCont;
    QAction* MnuCopy;
    Dialogs::Caller CallerForm;
    QEventLoop* waiting_ = nullptr;
};

FRMH::FRMH()
    : QWidget(nullptr, Dialogs::kDialogFrame), Helpt(new QPlainTextEdit(this)),
      ButtOK(new QPushButton(this)), MnuCont(new QMenu(this)),
      MnuCopy(MnuCont->addAction(QStringLiteral("Копировать")))
{
    setObjectName(QStringLiteral("FRMH"));
    setAttribute(Qt::WA_QuitOnClose, false);
    Look::fixClientSize(this, 6210, 3225);
    Look::paint(this, QColor(0, 128, 0));

    Helpt->setObjectName(QStringLiteral("Helpt"));
    Helpt->setAccessibleName(QStringLiteral("Текст справки"));
    Helpt->setGeometry(Look::rect(105, 15, 6000, 2700));
    Helpt->setFont(Look::font(8.25));
    Helpt->setReadOnly(true);
    Helpt->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    Helpt->setTabChangesFocus(true);
    Helpt->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Helpt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Helpt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Helpt->setStyleSheet(
        Dialogs::textBoxSheet("QPlainTextEdit", Qt::black, Qt::white, QColor(255, 255, 0)));
    Helpt->installEventFilter(this);

    ButtOK->setObjectName(QStringLiteral("ButtOK"));
    ButtOK->setText(QStringLiteral("&Закрыть нафиг!"));
    ButtOK->setAccessibleName(QStringLiteral("Закрыть нафиг!"));
    ButtOK->setGeometry(Look::rect(855, 2805, 4500, 375));
    ButtOK->setFont(Look::font(9.75, true));
    ButtOK->setAutoDefault(false);
    // The standard face, not the window's green.
    QPalette face = ButtOK->palette();
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        face.setColor(role, QApplication::palette().color(role));
    ButtOK->setPalette(face);
    ButtOK->installEventFilter(this);
    connect(ButtOK, &QPushButton::clicked, this, [this] { ButtOK_Click(); });
    setTabOrder(Helpt, ButtOK);

    MnuCont->setObjectName(QStringLiteral("MnuCont"));
    MnuCont->setTitle(QStringLiteral("Действие"));
    MnuCont->setAccessibleName(QStringLiteral("Действие"));
    MnuCopy->setObjectName(QStringLiteral("MnuCopy"));
    MnuCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    MnuCopy->setShortcutContext(Qt::WindowShortcut);
    addAction(MnuCopy); // Ctrl+C acts wherever the focus is in the window
    connect(MnuCopy, &QAction::triggered, this, [this] { MnuCopy_Click(); });
}

void FRMH::DIAH(const QString& hText, const QString& hTitle)
{
    CallerForm.take();
    setWindowTitle(hTitle);
    setAccessibleName(hTitle);
    Helpt->setPlainText(hText);
    CallerForm.showOwned(this);
    CallerForm.disable();
    Helpt->setFocus();

    QEventLoop wait;
    waiting_ = &wait;
    while (isVisible())
        // Anything but our own quit (the program ending) closes the window first.
        if (wait.exec() != 0) ButtOK_Click();
    waiting_ = nullptr;
}

void FRMH::ButtOK_Click()
{
    CallerForm.enable();
    CallerForm.giveFocus();
    CallerForm.clear();
    hide();
    if (waiting_) waiting_->quit();
}

void FRMH::Helpt_KeyDown(qint16& KeyCode, qint16& Shift)
{
    if (KeyCode == Dialogs::kContextMenuKey && Shift == 0)
        Dialogs::popUpAt(MnuCont, this, 200, 400);
}

void FRMH::MnuCopy_Click()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(Helpt->toPlainText());
    activateWindow();
    Helpt->setFocus(Qt::PopupFocusReason);
}

bool FRMH::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (windowKey(key)) return true;
        if (watched == Helpt) {
            qint16 KeyCode = Dialogs::keyCodeOf(key);
            qint16 Shift = Dialogs::shiftStateOf(key);
            Helpt_KeyDown(KeyCode, Shift);
            if (MnuCont->isVisible()) return true;
        }
    } else if (watched == Helpt && Dialogs::isKeyboardContextMenu(event)) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// Esc and Alt+З close; Ctrl+C copies the whole text, not the text box's
// selection. Letters go by the key, in every layout (З lies on the P key).
bool FRMH::windowKey(const QKeyEvent* key)
{
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
        ButtOK->click();
        return true;
    }
    if (IsLetterKey(*key, 'P', Qt::AltModifier) ||
        (key->key() == 0x0417 && key->modifiers() == Qt::AltModifier)) {
        ButtOK->click();
        return true;
    }
    if (IsLetterKey(*key, 'C', Qt::ControlModifier)) {
        MnuCopy->trigger();
        return true;
    }
    return false;
}

void FRMH::keyPressEvent(QKeyEvent* event)
{
    if (!windowKey(event)) QWidget::keyPressEvent(event);
}

void FRMH::closeEvent(QCloseEvent* event)
{
    ButtOK_Click();
    event->accept();
}

} // namespace

void DIAH(const QString& hText, const QString& hTitle)
{
    FRMH form;
    form.DIAH(hText, hTitle);
}
