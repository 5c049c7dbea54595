// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/TextFit.h"

#include "base/Look.h"

#include <QFontMetrics>

namespace TextFit
{

QSize QuestionRoom()
{
    const int inset = 2 * (kQuestionBorder + kQuestionMargin);
    return QSize(Look::px(kQuestionWidth) - inset, Look::px(kQuestionHeight) - inset);
}

int AnswerRoom()
{
    return Look::px(kAnswerWidth) - kAnswerChrome;
}

QFont QuestionFontAt(double points)
{
    return Look::font(points);
}

QFont AnswerFontAt(double points)
{
    return Look::font(points, true);
}

QString AnswerCaption(int button, const QString& answer)
{
    return QChar(u'A' + button) + QStringLiteral(": ") + answer;
}

std::optional<QFont> QuestionFont(const QString& text)
{
    const QSize room = QuestionRoom();
    for (double points : kFontSteps) {
        QFont font = QuestionFontAt(points);
        if (Look::wrappedHeight(text, font, room.width(),
                                QTextOption::WrapAtWordBoundaryOrAnywhere) <= room.height())
            return font;
    }
    return std::nullopt;
}

std::optional<QFont> AnswerFont(const QString& caption)
{
    const int room = AnswerRoom();
    for (double points : kFontSteps) {
        QFont font = AnswerFontAt(points);
        if (QFontMetrics(font).horizontalAdvance(caption) <= room) return font;
    }
    return std::nullopt;
}

QFont QuestionFontOrSmallest(const QString& text)
{
    return QuestionFont(text).value_or(QuestionFontAt(kFontSteps.back()));
}

QFont AnswerFontOrSmallest(const QString& caption)
{
    return AnswerFont(caption).value_or(AnswerFontAt(kFontSteps.back()));
}

} // namespace TextFit
