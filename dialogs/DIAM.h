// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// The game's own message dialog. The dialog code (0 to 159) selects the kind,
// default title, beep, buttons and focus; see the table in DIAM.cpp.
//
// FMess returns the number (1 to 4, from the left) of the pressed button.
// A code outside 0..159 is replaced by 97 in the caller's variable; a title of
// exactly "not" is replaced in the caller's variable by the kind's title.
qint16 FMess(const QString& mt, qint16& mn, QString& mf);
void SMess(const QString& mt, qint16& mn, QString& mf);
// For callers that pass literals and do not read the write-backs.
void SMess(const QString& mt, int mn, const QString& mf);

// The alert value a message of `code` sounds when it is shown: Int(code / 2) + 16,
// or 0 for none (code 0).
// Reports a file the game cannot do without ("Отсутствует файл:" and the like, then
// the path on its own line) as an error and ends the program.
void ReportFileAndEnd(const QString& what, const QString& path);

int MessBeepValue(qint16 code);
// For tests: receives the alert values instead of the platform's alert sound.
// An empty function restores the default.
void SetMessBeepHandler(std::function<void(int)> handler);
