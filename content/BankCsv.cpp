// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/BankCsv.h"

#include "content/Cp1251.h"
#include "content/QuestionBank.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace BankCsv
{

namespace
{
const QStringList kHeader{"level",    "question", "answer 1", "answer 2",
                          "answer 3", "answer 4", "right",    "note"};

QByteArray quoted(const QString& field)
{
    QByteArray f = field.toUtf8();
    if (!f.contains(',') && !f.contains('"') && !f.contains('\n') && !f.contains('\r') &&
        !f.startsWith(' ') && !f.endsWith(' '))
        return f;
    f.replace("\"", "\"\"");
    return '"' + f + '"';
}

QByteArray row(const QStringList& fields)
{
    QByteArray out;
    for (int i = 0; i < fields.size(); ++i)
        out += (i ? "," : "") + quoted(fields[i]);
    return out + "\r\n";
}
} // namespace

QByteArray Export(const QByteArray& plain)
{
    QByteArray out = row(kHeader);
    const QString text = Cp1251::decode(plain);
    const QStringList levels = text.isEmpty() ? QStringList() : text.split(u'^');
    for (int l = 0; l < levels.size(); ++l) {
        const QStringList questions = levels[l].isEmpty() ? QStringList() : levels[l].split(u'\\');
        for (const QString& q : questions) {
            if (q.isEmpty()) continue;
            QStringList fields = q.split(u'|');
            fields.prepend(QString::number(l + 1));
            out += row(fields);
        }
    }
    return out;
}

BankSource::Result Import(const QString& name, const QByteArray& csv)
{
    BankSource::Result result;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(csv);
    if (utf8.hasError()) {
        result.errors << QStringLiteral("%1: not UTF-8; save the sheet as CSV in UTF-8").arg(name);
        return result;
    }
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);

    // RFC 4180: fields in double quotes may hold commas, quotes (doubled) and line breaks.
    QList<QStringList> rows;
    QList<int> rowLines; // line where each row starts
    QStringList fields;
    QString field;
    bool inQuotes = false, any = false;
    int line = 1, rowLine = 1;
    auto endRow = [&] {
        fields << field;
        if (any || fields.size() > 1 || !field.isEmpty()) {
            rows << fields;
            rowLines << rowLine;
        }
        fields.clear();
        field.clear();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                if (c == u'\n') ++line;
                field += c;
            }
            continue;
        }
        if (c == u'"') {
            inQuotes = any = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
            any = true;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            endRow();
            rowLine = ++line;
        } else {
            field += c;
        }
    }
    if (inQuotes) result.errors << QStringLiteral("%1:%2: unclosed quote").arg(name).arg(rowLine);
    endRow();
    if (!rows.isEmpty() && rows[0].size() >= 1 && rows[0][0].trimmed() == kHeader[0]) {
        rows.removeFirst();
        rowLines.removeFirst();
    }

    // As a source with a level header wherever the level changes; each source
    // line remembers its row for the messages.
    QString source;
    QList<int> lineRows{0};
    int level = 0;
    for (int r = 0; r < rows.size(); ++r) {
        QStringList f = rows[r];
        const QString at = QStringLiteral("%1:%2: ").arg(name).arg(rowLines[r]);
        if (f.size() < 7 || f.size() > 8) {
            result.errors << at + QStringLiteral("%1 columns; level, question, four answers, "
                                                 "right answer and an optional note are wanted")
                                      .arg(f.size());
            continue;
        }
        if (std::any_of(f.begin(), f.end(),
                        [](const QString& x) { return x.contains(u'\n') || x.contains(u'\r'); })) {
            result.errors << at + QStringLiteral("a line break inside a cell; the bank has none");
            continue;
        }
        bool ok = false;
        const int n = f[0].trimmed().toInt(&ok);
        if (!ok) {
            result.errors << at + QStringLiteral("level \"%1\" is not a number").arg(f[0]);
            continue;
        }
        if (n != level) {
            source += QStringLiteral("[%1]\n").arg(n);
            lineRows << rowLines[r];
            level = n;
        }
        if (f.size() == 8 && f[7].isEmpty()) f.removeLast();
        source += f.mid(1).join(u'|') + u'\n';
        lineRows << rowLines[r];
    }
    if (!result.errors.isEmpty()) return result;
    BankSource::Result built = BankSource::Compile({{QStringLiteral("\x01"), source.toUtf8()}});
    static const QRegularExpression where(QStringLiteral("^\\x01:(\\d+):\\d+: "));
    for (QString e : built.errors) {
        const auto m = where.match(e);
        if (m.hasMatch()) {
            const int sourceLine = m.captured(1).toInt();
            e = QStringLiteral("%1:%2: ").arg(name).arg(lineRows.value(sourceLine)) +
                e.mid(m.capturedLength());
        } else {
            e.replace(QStringLiteral("\x01"), name);
        }
        result.errors << e;
    }
    result.plain = built.plain;
    return result;
}

} // namespace BankCsv
