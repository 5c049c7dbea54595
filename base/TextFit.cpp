// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/TextFit.h"

#include "base/Look.h"

#include <QFontMetrics>
#include <QTextLayout>

namespace TextFit
{

int QuestionWidthPx()
{
    return Look::px(14940) - 2 * (4 + 2);
}

int AnswerWidthPx()
{
    return Look::px(7170) - 8;
}

bool QuestionFits(const QString& text)
{
    const int width = QuestionWidthPx();
    QTextLayout layout(text, Look::font(15.75));
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    int lines = 0;
    bool fits = true;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        // A word longer than the box runs out of it.
        if (line.naturalTextWidth() > width) fits = false;
        ++lines;
    }
    layout.endLayout();
    return fits && lines <= 2;
}

bool AnswerFits(const QString& caption)
{
    return QFontMetrics(Look::font(15.75, true)).horizontalAdvance(caption) <= AnswerWidthPx();
}

} // namespace TextFit
