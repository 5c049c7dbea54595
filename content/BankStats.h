// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/QuestionBank.h"

#include <QString>
#include <vector>

// Questions that say the same thing twice across the whole bank.
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

} // namespace BankStats
