// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <array>
#include <optional>

// The one rule for the font of a question and of its answers on the main
// window: the window's own size, or the largest smaller step at which the text
// shows whole. The window builds its question box and answer buttons from these
// numbers and the bank tool checks banks with them. Needs a QGuiApplication.
namespace TextFit
{

// The steps a text's font goes down, from the window's size.
inline constexpr std::array<double, 5> kFontSteps{15.75, 14.25, 12.75, 11.25, 9.75};

// The question box, in twips: plain text inside a border (pixels, the same
// width with and without the focus) and the document's margin (pixels).
inline constexpr int kQuestionWidth = 14940;
inline constexpr int kQuestionHeight = 990;
inline constexpr int kQuestionBorder = 2;
inline constexpr int kQuestionMargin = 2;

// An answer button, in twips. What of its width the caption cannot use: the
// border (its widest, with the focus) and the padding on both sides, in pixels.
inline constexpr int kAnswerWidth = 7170;
inline constexpr int kAnswerHeight = 585;
inline constexpr int kButtonFocusBorder = 3;
inline constexpr int kButtonPadding = 8;
inline constexpr int kAnswerChrome = 2 * (kButtonFocusBorder + kButtonPadding);

// The room the text has: inside the question box's border and margin, and on
// an answer button between its border and padding (one line), in pixels.
QSize QuestionRoom();
int AnswerRoom();

QFont QuestionFontAt(double points);
QFont AnswerFontAt(double points);

// The largest step at which `text` shows whole in the question box: each
// paragraph wrapped as the box wraps it (between words, else anywhere), every
// line inside. Nothing when it does not even at the smallest step.
std::optional<QFont> QuestionFont(const QString& text);
// What answer button `button` (0-3) shows for `answer`: its letter first ("A: ").
QString AnswerCaption(int button, const QString& answer);
// The same for an answer caption, prefix ("A: ") included, on one line.
std::optional<QFont> AnswerFont(const QString& caption);

// What the window shows a text in: its fitting font, else the smallest step.
QFont QuestionFontOrSmallest(const QString& text);
QFont AnswerFontOrSmallest(const QString& caption);

} // namespace TextFit
