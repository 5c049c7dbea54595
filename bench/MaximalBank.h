// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/Cp1251.h"
#include "content/QuestionBank.h"

// The largest bank the table holds: 16 levels x 32 768 questions x 7 fields of
// about 40 characters, as plain text (about 127 MB).
inline QByteArray MaximalPlainBank()
{
    const QByteArray field =
        Cp1251::encode(QStringLiteral("Поле вопроса, около сорока знаков длины"));
    QByteArray text;
    text.reserve(qsizetype(Bank::kLevels) * Bank::kQuestions * Bank::kFields * (field.size() + 1));
    for (int l = 0; l < Bank::kLevels; ++l) {
        if (l) text += '^';
        for (int q = 0; q < Bank::kQuestions; ++q) {
            for (int f = 0; f < Bank::kFields; ++f) {
                if (f) text += '|';
                text += f == 5 ? QByteArray("2") : field;
            }
            text += '\\';
        }
    }
    return text;
}
