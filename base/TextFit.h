// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Whether a text fits where the main window shows it, measured with the
// window's own fonts. Needs a QGuiApplication.
namespace TextFit
{

// The question box: two lines of Arial 15.75 pt, 14 940 twips wide less the
// box's 4 px border and 2 px margin on each side.
bool QuestionFits(const QString& text);
// An answer button: one line of Arial bold 15.75 pt, 7 170 twips wide less
// about 8 px; `caption` includes its prefix ("A: ").
bool AnswerFits(const QString& caption);

int QuestionWidthPx();
int AnswerWidthPx();

} // namespace TextFit
