// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The bank's scrambling: reverse the text and swap the byte ranges 32..143 and
// 144..255. It is its own inverse, so the same routine scrambles and descrambles.
QString DecodeText(const QString& text);

namespace CodirText
{

unsigned char mapByte(unsigned char c);
// DecodeText on Windows-1251 bytes, in place.
void decodeBytes(QByteArray& bytes);

} // namespace CodirText
