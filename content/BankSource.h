// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// The readable source of a question bank (UTF-8):
//   [1]
//   Question?|answer 1|answer 2|answer 3|answer 4|2
//
//   [2]
//   ...
// A line "[N]" starts level N (1 to 16); every other non-blank line is one
// question, its fields joined by "|" exactly as stored. Blank lines are
// ignored. Within a source the levels increase; a later source may add to any
// level already started, or start the next one. The canonical form that Dump
// writes has one blank line before every level header but the first.
namespace BankSource
{

struct Result {
    QByteArray plain;   // the bank's plain text in Windows-1251
    QStringList errors; // "file:line:column: message"
};

// Several sources are read as one, in order. Anything that would not come back
// the same from the bank is refused.
Result Compile(const QList<QPair<QString, QByteArray>>& sources);

// The canonical source of a plain bank, handed to `write` piece by piece so
// that a large bank is never held twice. Each level's closing empty piece is
// implied; empty pieces in the middle of a level cannot be written and are dropped.
void Dump(const QByteArray& plain, const std::function<void(const QByteArray&)>& write);
QByteArray Dump(const QByteArray& plain);

// How a character is shown in a message: 'ж' (U+0436), or U+0009 alone for
// one that cannot be printed.
QString ShowChar(char32_t c);

} // namespace BankSource
