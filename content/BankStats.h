// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/QuestionBank.h"

#include <QString>
#include <vector>

// What a bank author wants to know beyond faults: questions that say the same
// thing twice across the whole bank, and texts the window cannot show whole.
namespace BankStats
{

// Lower case, ё as е, punctuation dropped, blanks single.
QString Normalised(const QString& text);
// Jaccard index of the word sets of two normalised texts: 1 for equal sets.
double Similarity(const QString& a, const QString& b);

struct Duplicate {
    int levelA, questionA, levelB, questionB;
    double similarity;
};
// Every pair of playable questions whose normalised texts are equal or share
// at least `threshold` of their words (Jaccard).
std::vector<Duplicate> NearDuplicates(const Bank::QuestionTable& table, double threshold = 0.8);

// A text of a playable question that does not show whole on the main window
// even at the smallest font step: field 0 is the question, 1 to 4 an answer,
// which may land on any button and so is measured after every letter.
struct TooLong {
    int level, question, field;
    QString text;
};
// In bank order. Measured with the window's fonts: needs a QGuiApplication.
std::vector<TooLong> TooLongToShow(const Bank::QuestionTable& table);

} // namespace BankStats
