// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/CodirText.h"

#include "content/Cp1251.h"

#include <algorithm>

namespace CodirText
{

unsigned char mapByte(unsigned char c)
{
    if (c >= 144) return static_cast<unsigned char>(c - 112);
    if (c >= 32) return static_cast<unsigned char>(c + 112);
    return c;
}

void decodeBytes(QByteArray& bytes)
{
    char* data = bytes.data();
    std::reverse(data, data + bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        data[i] = static_cast<char>(mapByte(static_cast<unsigned char>(data[i])));
}

} // namespace CodirText

QString DecodeText(const QString& text)
{
    const qsizetype n = text.size();
    QString out(n, Qt::Uninitialized);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        int code = Cp1251::fromUnicode(text[i]);
        if (code < 0) code = '?';
        dst[n - 1 - i] = Cp1251::toUnicode(CodirText::mapByte(static_cast<unsigned char>(code)));
    }
    return out;
}
