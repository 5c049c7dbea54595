// SPDX-License-Identifier: GPL-3.0-or-later
// textconv IN OUT: UTF-8 text to Windows-1251 with CR LF line ends, for the game folder.
#include "content/Cp1251.h"

#include <QFile>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: textconv IN.txt OUT.txt\n", stderr);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "textconv: cannot read %s\n", argv[1]);
        return 1;
    }
    QString text = QString::fromUtf8(in.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\n', QLatin1String("\r\n"));
    bool ok = true;
    const QByteArray bytes = Cp1251::encode(text, &ok);
    if (!ok) {
        std::fprintf(stderr, "textconv: %s has characters without a Windows-1251 code\n", argv[1]);
        return 1;
    }
    QSaveFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) < 0 || !out.commit()) {
        std::fprintf(stderr, "textconv: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
