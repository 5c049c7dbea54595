// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The readable source of a question bank (UTF-8):
//   [1]
//   Question?|answer 1|answer 2|answer 3|answer 4|2
//
//   [2]
//   ...
// A line "[N]" starts level N (1 to 16, increasing); every other non-blank line
// is one question, its fields joined by "|" exactly as stored. Blank lines are
// ignored. The canonical form that DumpSource writes has one blank line before
// every level header but the first.
namespace BankSource
{

struct Result {
    QByteArray plain;   // the bank's plain text in Windows-1251
    QStringList errors; // "file:line: message"
};

// Several sources are read as one, in order.
Result Compile(const QList<QPair<QString, QByteArray>>& sources);
// The canonical source of a plain bank. Each level's closing empty piece is
// implied; empty pieces in the middle of a level cannot be written and are dropped.
QByteArray Dump(const QByteArray& plain);

} // namespace BankSource
