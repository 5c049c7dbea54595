// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// A long load (reading, descrambling, splitting a bank) works in pieces of this
// many bytes and calls its `afterPiece` function after each, so that the caller
// can let a window repaint.
inline constexpr qsizetype kLoadPiece = qsizetype(1) << 20;

// An ordinary file: not a folder, not hidden.
bool IsOrdinaryFile(const QString& path);

// The whole text file, every line followed by CR LF, decoded from Windows-1251;
// the empty string when no ordinary file of that name exists or it cannot be read.
// A line ends at CR LF, a lone LF or a lone CR.
QString ReadTextFile(const QString& path);

// The raw bytes of an ordinary file; nothing when it is missing or unreadable.
// They are read kLoadPiece bytes at a time, and `afterPiece` is called after
// each piece, so that a long read can let a window repaint.
std::optional<QByteArray> ReadFileBytes(const QString& path,
                                        const std::function<void()>& afterPiece = {});
