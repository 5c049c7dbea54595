// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/BankSource.h"

#include <QByteArray>
#include <QString>

// A bank as a spreadsheet: CSV in UTF-8 (RFC 4180 quoting), a header row, then
// one question a row: level, text, four answers, right answer number, note.
namespace BankCsv
{

QByteArray Export(const QByteArray& plain);
// The bank's plain text; errors name the row of the CSV file.
BankSource::Result Import(const QString& name, const QByteArray& csv);

} // namespace BankCsv
