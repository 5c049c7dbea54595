// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/BankSource.h"

#include "content/Cp1251.h"
#include "content/QuestionBank.h"

#include <QRegularExpression>

namespace BankSource
{

Result Compile(const QList<QPair<QString, QByteArray>>& sources)
{
    Result result;
    static const QRegularExpression header(QStringLiteral("^\\[(\\d{1,2})\\]$"));
    QList<QStringList> levels; // questions of level 1, 2, ...
    for (const auto& [name, bytes] : sources) {
        const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
        for (int i = 0; i < lines.size(); ++i) {
            QString line = lines[i];
            if (line.endsWith(u'\r')) line.chop(1);
            const QString at = QStringLiteral("%1:%2: ").arg(name).arg(i + 1);
            if (line.trimmed().isEmpty()) continue;
            const auto match = header.match(line);
            if (match.hasMatch()) {
                const int n = match.captured(1).toInt();
                if (n < 1 || n > Bank::kLevels)
                    result.errors
                        << at + QStringLiteral("level %1 is not 1 to %2").arg(n).arg(Bank::kLevels);
                else if (n <= levels.size())
                    result.errors << at + QStringLiteral("level %1 comes after level %2")
                                              .arg(n)
                                              .arg(levels.size());
                else
                    while (levels.size() < n)
                        levels.append(QStringList());
                continue;
            }
            if (levels.isEmpty()) {
                result.errors << at + QStringLiteral("question before the first level header");
                continue;
            }
            if (line.contains(u'^') || line.contains(u'\\')) {
                result.errors << at + QStringLiteral("\"^\" and \"\\\" would split the bank; they "
                                                     "cannot stand in a field");
                continue;
            }
            bool ok = true;
            Cp1251::encode(line, &ok);
            if (!ok) {
                result.errors << at + QStringLiteral("a character has no Windows-1251 code");
                continue;
            }
            levels.last().append(line);
        }
    }
    QString plain;
    for (int l = 0; l < levels.size(); ++l) {
        if (l > 0) plain += u'^';
        for (const QString& q : levels[l])
            plain += q + u'\\';
    }
    result.plain = Cp1251::encode(plain);
    return result;
}

QByteArray Dump(const QByteArray& plain)
{
    QString out;
    const QString text = Cp1251::decode(plain);
    const QStringList levels = text.isEmpty() ? QStringList() : text.split(u'^');
    for (int l = 0; l < levels.size(); ++l) {
        if (l > 0) out += u'\n';
        out += QStringLiteral("[%1]\n").arg(l + 1);
        const QStringList questions = levels[l].isEmpty() ? QStringList() : levels[l].split(u'\\');
        for (const QString& q : questions)
            if (!q.isEmpty()) out += q + u'\n';
    }
    return out.toUtf8();
}

} // namespace BankSource
