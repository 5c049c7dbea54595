// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/OpinSaving.h"

#include "content/Cp1251.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

bool IsOrdinaryFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

std::optional<QByteArray> ReadFileBytes(const QString& path,
                                        const std::function<void()>& afterPiece)
{
    if (!IsOrdinaryFile(path)) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // Into memory of the file's size, piece by piece; a file that changes its
    // size meanwhile is still read to its end.
    QByteArray bytes(qsizetype(file.size()), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 got =
            file.read(bytes.data() + done, std::min(kLoadPiece, bytes.size() - done));
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        done += qsizetype(got);
        if (afterPiece) afterPiece();
    }
    bytes.truncate(done);
    if (!file.atEnd()) bytes += file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

QString ReadTextFile(const QString& path)
{
    const std::optional<QByteArray> bytes = ReadFileBytes(path);
    if (!bytes || bytes->isEmpty()) return {};

    const char* data = bytes->constData();
    const qsizetype size = bytes->size();
    QString result;
    result.reserve(size + size / 32 + 2);
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n') continue;
        result += Cp1251::decode(data + lineStart, i - lineStart);
        result += QLatin1String("\r\n");
        if (c == '\r' && i + 1 < size && data[i + 1] == '\n') ++i;
        lineStart = i + 1;
    }
    if (lineStart < size) {
        result += Cp1251::decode(data + lineStart, size - lineStart);
        result += QLatin1String("\r\n");
    }
    return result;
}
