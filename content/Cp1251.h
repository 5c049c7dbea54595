// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Windows-1251, the code page of every file the game reads. All 256 byte values
// round-trip: 0x98, which has no character of its own, maps to U+0098.
namespace Cp1251
{

QChar toUnicode(unsigned char byte);
// The byte for a character, or -1 when the code page has none.
int fromUnicode(QChar ch);

QString decode(const char* data, qsizetype size);
inline QString decode(const QByteArray& bytes)
{
    return decode(bytes.constData(), bytes.size());
}
// Characters without a byte become '?' and clear *ok.
QByteArray encode(QStringView text, bool* ok = nullptr);

} // namespace Cp1251
