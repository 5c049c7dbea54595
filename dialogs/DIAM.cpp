// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/DIAM.h"

#include "base/Process.h"

#include "base/Look.h"
#include "dialogs/DialogSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <memory>

// The dialog code: kind = code \ 32 (error, warning, question, message,
// confirmation); the variant code mod 32 chooses the buttons and the focus:
//
//  var  Mbutt1      Mbutt2      Mbutt3  Mbutt4    focus   (- hidden)
//   0   -           Продолжить  Отмена  -         -
//   1   ОК          -           -       -         -
//   2   -           Закрыть     -       -         -
//   3   Дда         Нет         -       -         -
//   4   -           -           Отмена  -         -
//   5   ОК          -           Отмена  -         -
//   6   Пропустить  Продолжить  Отмена  -         -
//   7   Дда         Нет         Отмена  -         -
//  +8   as var - 8, and Mbutt4 "Помощь"
//  16   as 0                                      Mbutt3
//  17   Пропустить  Заменить    Отмена  Добавить  -
//  18   as 17                                     Mbutt2
//  19   as 3                                      Mbutt2
//  20   as 17                                     Mbutt3
//  21   as 5                                      Mbutt3
//  22   as 6                                      Mbutt2
//  23   as 7                                      Mbutt2
//  24   as 8                                      Mbutt3
//  25   as 9                                      Mbutt4
//  26   as 10                                     Mbutt4
//  27   as 11                                     Mbutt2
//  28   as 12                                     Mbutt4
//  29   as 13                                     Mbutt3
//  30   as 14                                     Mbutt2
//  31   as 15                                     Mbutt2
//
// Without a focus rule the first shown button takes the focus after the pause.

namespace
{

constexpr int kPauseMs = 300;

std::function<void(int)>& beepHandler()
{
    static std::function<void(int)> handler;
    return handler;
}

void Beep(int value)
{
    if (beepHandler())
        beepHandler()(value);
    else
        QApplication::beep();
}

float FracOf(qint16 value, qint16 divisor)
{
    if (divisor == 0) return 0;
    return float(value % divisor) / float(divisor);
}

qint16 ModOf(qint16 value, qint16 divisor)
{
    if (divisor == 0) return 0;
    return qint16(value % divisor);
}

QString kindTitle(qint16 code)
{
    switch (code / 32) {
    case 0:
        return QStringLiteral("Ошибка!");
    case 1:
        return QStringLiteral("Внимание!");
    case 2:
        return QStringLiteral("Вопрос");
    case 3:
        return QStringLiteral("Сообщение.");
    default:
        return QStringLiteral("Подтвердите.");
    }
}

void setCaption(QPushButton* button, const QString& caption)
{
    button->setText(caption);
    button->setAccessibleName(caption);
}

class DIAM final : public QWidget
{
  public:
    DIAM();

    void prepare(const QString& text, const QString& title);
    qint16 run(qint16 code);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Form_Load();
    void Mbutt1_Click() { press(1); }
    void Mbutt2_Click() { press(2); }
    void Mbutt3_Click() { press(3); }
    void Mbutt4_Click() { press(4); }

    void press(qint16 button);
    void growToText();
    bool handleKey(const QKeyEvent* event);
    qint16 closeAnswer() const;
    std::array<QPushButton*, 4> buttons() const { return {Mbutt1, Mbutt2, Mbutt3, Mbutt4}; }

    QLabel* Mbkont;
    QPlainTextEdit* Mtext;
    QPushButton* Mbutt1;
    QPushButton* Mbutt2;
    QPushButton* Mbutt3;
    QPushButton* Mbutt4;
    qint16 PressedButton = 0;
    QEventLoop* waiting_ = nullptr;
};

DIAM::DIAM()
    : QWidget(nullptr, Dialogs::kDialogFrame),
      // The strip is made first so that it lies behind the buttons.
      Mbkont(new QLabel(this)), Mtext(new QPlainTextEdit(this)), Mbutt1(new QPushButton(this)),
      Mbutt2(new QPushButton(this)), Mbutt3(new QPushButton(this)), Mbutt4(new QPushButton(this))
{
    setObjectName(QStringLiteral("DIAM"));
    setAttribute(Qt::WA_QuitOnClose, false);
    Look::fixClientSize(this, 6750, 1350);
    Look::paint(this, QColor(48, 48, 48));
    setFont(Look::font(8.25, true));

    Mbkont->setObjectName(QStringLiteral("Mbkont"));
    Mbkont->setAccessibleName(QStringLiteral("Полоса кнопок"));
    Mbkont->setGeometry(Look::rect(75, 810, 6600, 450));
    Look::paint(Mbkont, QApplication::palette().color(QPalette::Button));

    Mtext->setObjectName(QStringLiteral("Mtext"));
    Mtext->setAccessibleName(QStringLiteral("Текст сообщения"));
    Mtext->setGeometry(Look::rect(75, 45, 6600, 720));
    Mtext->setFont(Look::font(11.25));
    Mtext->setReadOnly(true);
    // Keyboard selection gives a caret, so the focus shows and long texts can be read.
    Mtext->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    Mtext->setTabChangesFocus(true);
    Mtext->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Mtext->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Mtext->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Mtext->document()->setDocumentMargin(0); // three lines of text fit the fixed height
    Mtext->setStyleSheet(Dialogs::textBoxSheet("QPlainTextEdit", QColor(48, 48, 48), Qt::white,
                                               QColor(255, 255, 0)));

    const std::array<int, 4> lefts{150, 1800, 3450, 5100};
    for (int i = 0; i < 4; ++i) {
        QPushButton* button = buttons()[i];
        button->setObjectName(QStringLiteral("Mbutt%1").arg(i + 1));
        button->setGeometry(Look::rect(lefts[i], 855, 1500, 360));
        button->setAutoDefault(false);
        button->installEventFilter(this);
    }
    Mbutt1->setDefault(true);
    Mtext->installEventFilter(this);
    setTabOrder(Mtext, Mbutt1);
    setTabOrder(Mbutt1, Mbutt2);
    setTabOrder(Mbutt2, Mbutt3);
    setTabOrder(Mbutt3, Mbutt4);

    // A hidden button is never pressed, whatever sends it the click.
    const std::array<void (DIAM::*)(), 4> handlers{&DIAM::Mbutt1_Click, &DIAM::Mbutt2_Click,
                                                   &DIAM::Mbutt3_Click, &DIAM::Mbutt4_Click};
    for (int i = 0; i < 4; ++i) {
        QPushButton* button = buttons()[i];
        const auto handler = handlers[i];
        connect(button, &QPushButton::clicked, this, [this, button, handler] {
            if (button->isVisible()) (this->*handler)();
        });
    }
    Form_Load();
}

void DIAM::Form_Load()
{
    Mbutt1->setStyleSheet(Dialogs::solidButtonSheet(QColor(255, 255, 0)));
    Mbutt2->setStyleSheet(Dialogs::solidButtonSheet(QColor(255, 255, 0)));
    Mbutt3->setStyleSheet(Dialogs::solidButtonSheet(QColor(255, 255, 255)));
    Mbutt4->setStyleSheet(Dialogs::solidButtonSheet(QColor(0, 255, 0)));
}

void DIAM::prepare(const QString& text, const QString& title)
{
    Mtext->hide();
    for (QPushButton* button : buttons())
        button->hide();
    setCaption(Mbutt1, QStringLiteral("Дда"));
    setCaption(Mbutt2, QStringLiteral("Нет"));
    setCaption(Mbutt3, QStringLiteral("Отмена"));
    setCaption(Mbutt4, QStringLiteral("Помощь"));
    setWindowTitle(title);
    setAccessibleName(title);
    Mtext->setPlainText(text);
    growToText();
}

// Every line of a message is shown: where the text needs more than the fixed
// height, the box, the strip and buttons below it and the window grow.
void DIAM::growToText()
{
    // Laid out as the box lays out plain text: each paragraph wrapped to the
    // width inside its frame and margins, line under line.
    const qreal margin = Mtext->document()->documentMargin();
    const qreal lineWidth =
        Mtext->width() - 2 * Mtext->frameWidth() - 2 * margin - Mtext->cursorWidth();
    const qreal textHeight = 2 * margin + Look::wrappedHeight(Mtext->toPlainText(), Mtext->font(),
                                                              lineWidth, Mtext->wordWrapMode());
    // Beyond twenty lines the keyboard reaches the rest, as in the fixed box.
    const qreal most = 20 * QFontMetricsF(Mtext->font()).lineSpacing();
    // A few pixels spare: the box shows a line only when it fits whole.
    const int need = int(std::ceil(std::min(textHeight, most))) + 2 * Mtext->frameWidth() + 4;
    const int grow = need - Mtext->height();
    if (grow <= 0) return;
    Mtext->resize(Mtext->width(), need);
    for (QWidget* below : {static_cast<QWidget*>(Mbkont), static_cast<QWidget*>(Mbutt1),
                           static_cast<QWidget*>(Mbutt2), static_cast<QWidget*>(Mbutt3),
                           static_cast<QWidget*>(Mbutt4)})
        below->move(below->x(), below->y() + grow);
    setFixedSize(width(), height() + grow);
}

qint16 DIAM::run(qint16 code)
{
    Mtext->show();
    Mtext->setFocus();

    if (const int beep = MessBeepValue(code)) Beep(beep);

    const qint16 variant = ModOf(code, 32);
    const bool fourButtons = variant == 17 || variant == 18 || variant == 20;
    if (FracOf(code, 8) == 0.75f) setCaption(Mbutt1, QStringLiteral("Пропустить"));
    if (FracOf(code, 4) == 0.25f) setCaption(Mbutt1, QStringLiteral("ОК"));
    if (FracOf(code, 8) == 0.25f) setCaption(Mbutt2, QStringLiteral("Закрыть"));
    if (FracOf(code, 8) == 0 || FracOf(code, 8) == 0.75f)
        setCaption(Mbutt2, QStringLiteral("Продолжить"));
    if (fourButtons) {
        setCaption(Mbutt1, QStringLiteral("Пропустить"));
        setCaption(Mbutt2, QStringLiteral("Заменить"));
        setCaption(Mbutt4, QStringLiteral("Добавить"));
    }

    Mbutt1->setVisible(FracOf(code, 2) == 0.5f || FracOf(code, 8) == 0.75f || fourButtons);
    Mbutt2->setVisible(FracOf(code, 8) == 0 || FracOf(code, 4) >= 0.5f || fourButtons);
    Mbutt3->setVisible(FracOf(code, 8) == 0 || FracOf(code, 8) >= 0.5f || fourButtons);
    Mbutt4->setVisible(FracOf(code, 16) >= 0.5f || fourButtons);

    // Presses during the pause are dropped below; events go on meanwhile.
    {
        QEventLoop pause;
        QTimer::singleShot(kPauseMs, &pause, &QEventLoop::quit);
        pause.exec();
    }

    Mtext->hide();
    Mtext->show();

    const auto among = [variant](std::initializer_list<int> list) {
        return std::find(list.begin(), list.end(), variant) != list.end();
    };
    QPushButton* focus = among({18, 19, 22, 23, 27, 30, 31}) ? Mbutt2
                         : among({16, 20, 21, 24, 29})       ? Mbutt3
                         : among({25, 26, 28})               ? Mbutt4
                                                             : nullptr;
    for (QPushButton* button : buttons())
        if (!focus && button->isVisible()) focus = button;
    if (focus) focus->setFocus(Qt::OtherFocusReason);

    PressedButton = 0;
    QEventLoop wait;
    waiting_ = &wait;
    while (PressedButton == 0)
        // Only our own quit returns 0 with a button pressed; anything else ends the
        // wait as a close of the window would.
        if (wait.exec() != 0) PressedButton = closeAnswer();
    waiting_ = nullptr;
    return PressedButton;
}

void DIAM::press(qint16 button)
{
    PressedButton = button;
    if (waiting_) waiting_->quit();
}

qint16 DIAM::closeAnswer() const
{
    // The most cancelling of the shown buttons: every variant shows one of these.
    if (Mbutt3->isVisible()) return 3;
    if (Mbutt2->isVisible()) return 2;
    return 1;
}

bool DIAM::handleKey(const QKeyEvent* event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (event->key()) {
    case Qt::Key_Escape:
        if (Mbutt3->isVisible()) Mbutt3->click();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        if (focused && focused->isVisible())
            focused->click();
        else if (Mbutt1->isVisible())
            Mbutt1->click();
        return true;
    }
    default:
        return false;
    }
}

bool DIAM::eventFilter(QObject* watched, QEvent* event)
{
    // The window sees Esc and Enter before its controls.
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event))) return true;
    return QWidget::eventFilter(watched, event);
}

void DIAM::keyPressEvent(QKeyEvent* event)
{
    if (!handleKey(event)) QWidget::keyPressEvent(event);
}

void DIAM::closeEvent(QCloseEvent* event)
{
    // The window goes only when FMess is done with it; a close counts as a press.
    event->ignore();
    press(closeAnswer());
}

} // namespace

int MessBeepValue(qint16 code)
{
    return code > 0 ? code / 2 + 16 : 0;
}

void SetMessBeepHandler(std::function<void(int)> handler)
{
    beepHandler() = std::move(handler);
}

qint16 FMess(const QString& mt, qint16& mn, QString& mf)
{
    const QString text = mt;
    Dialogs::Caller caller;
    caller.take();

    if (mn < 0 || mn > 159) mn = 97;
    if (mf == QLatin1String("not")) mf = kindTitle(mn);

    auto form = std::make_unique<DIAM>();
    form->prepare(text, mf);
    form->setAccessibleDescription(text);
    caller.showOwned(form.get());
    caller.disable();
    {
        // Announced as it opens, as an alert with its title and text.
        QAccessibleEvent alert(form.get(), QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
    const qint16 result = form->run(mn);

    caller.enable();
    form.reset();
    caller.giveFocus();
    return result;
}

void SMess(const QString& mt, qint16& mn, QString& mf)
{
    FMess(mt, mn, mf);
}

void SMess(const QString& mt, int mn, const QString& mf)
{
    // An int beyond 16 bits must not wrap into a valid code.
    qint16 code = (mn >= 0 && mn <= 159) ? qint16(mn) : qint16(-1);
    QString title = mf;
    SMess(mt, code, title);
}

void ReportFileAndEnd(const QString& what, const QString& path)
{
    SMess(what + QStringLiteral("\r\n") + path, 2, QStringLiteral("not"));
    EndProgram();
}
