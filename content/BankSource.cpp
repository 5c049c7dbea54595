// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/BankSource.h"

#include "content/Cp1251.h"
#include "content/QuestionBank.h"

#include <QStringDecoder>
#include <string_view>

namespace BankSource
{

namespace
{

// Column of the character at `index` (UTF-16 units), counting characters.
int column(const QString& line, qsizetype index)
{
    int col = 1;
    for (qsizetype i = 0; i < index; ++i)
        if (!line[i].isLowSurrogate()) ++col;
    return col;
}

char32_t codePoint(const QString& line, qsizetype i)
{
    if (line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(line[i], line[i + 1]);
    return line[i].unicode();
}

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// What an undecodable source most likely is.
QString guessEncoding(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QStringLiteral("UTF-16");
    const qsizetype n = std::min<qsizetype>(bytes.size(), 4096);
    qsizetype zeros = 0;
    for (qsizetype i = 0; i < n; ++i)
        zeros += bytes[i] == 0;
    if (zeros * 4 >= n) return QStringLiteral("UTF-16");
    return QStringLiteral("Windows-1251");
}

// Line and column of the first byte that is not UTF-8.
QPair<int, int> firstBadByte(const QByteArray& bytes)
{
    auto decodes = [](const QByteArray& b) {
        QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString s = d.decode(b);
        return d.hasError() ? -1 : int(s.size());
    };
    const QList<QByteArray> lines = bytes.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (decodes(lines[i]) >= 0) continue;
        int col = 1;
        // Once the bad byte is in, no longer prefix decodes.
        for (qsizetype len = 1; len <= lines[i].size(); ++len)
            col = std::max(col, decodes(lines[i].left(len)) + 1);
        return {i + 1, col};
    }
    return {1, 1};
}

} // namespace

QString ShowChar(char32_t c)
{
    const QString code = QStringLiteral("U+%1").arg(uint(c), 4, 16, QChar(u'0')).toUpper();
    if (isControl(c) || c == ' ')
        return code + (c == '\t'  ? QStringLiteral(" (tab)")
                       : c == ' ' ? QStringLiteral(" (blank)")
                                  : QString());
    return QStringLiteral("'%1' (%2)").arg(QString::fromUcs4(&c, 1), code);
}

Result Compile(const QList<QPair<QString, QByteArray>>& sources)
{
    Result result;
    QList<QStringList> levels; // questions of level 1, 2, ...
    for (const auto& [name, raw] : sources) {
        QByteArray bytes = raw;
        if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(bytes);
        if (utf8.hasError()) {
            const auto [line, col] = firstBadByte(bytes);
            result.errors << QStringLiteral("%1:%2:%3: not UTF-8; it looks like %4, convert it to "
                                            "UTF-8")
                                 .arg(name)
                                 .arg(line)
                                 .arg(col)
                                 .arg(guessEncoding(raw));
            continue;
        }
        const QStringList lines = text.split(u'\n');
        bool anything = false;
        int sourceLevel = 0; // the last level header of this source
        int current = 0;     // level that questions go to; -1 after a bad header
        for (int i = 0; i < lines.size(); ++i) {
            QString line = lines[i];
            if (line.endsWith(u'\r')) line.chop(1);
            auto fault = [&](qsizetype index, const QString& message) {
                result.errors << QStringLiteral("%1:%2:%3: %4")
                                     .arg(name)
                                     .arg(i + 1)
                                     .arg(column(line, index))
                                     .arg(message);
            };

            qsizetype bad = -1;
            for (qsizetype k = 0; k < line.size() && bad < 0; ++k)
                if (isControl(line[k].unicode())) bad = k;
            if (bad >= 0) {
                const char32_t c = line[bad].unicode();
                fault(bad, c == '\r'   ? QStringLiteral("a lone CR (U+000D) inside the line")
                           : c == '\t' ? QStringLiteral("a tab (U+0009); the bank has no tabs")
                                       : QStringLiteral("control character %1").arg(ShowChar(c)));
                anything = true;
                continue;
            }
            if (line.trimmed().isEmpty()) continue;
            anything = true;

            if (line.trimmed().startsWith(u'[') && !line.contains(u'|')) {
                // A level header is exactly "[N]".
                qsizetype k = 0;
                if (line[0] != u'[') {
                    fault(0, QStringLiteral("stray %1 around a level header")
                                 .arg(ShowChar(line[0].unicode())));
                    current = -1;
                    continue;
                }
                k = 1;
                while (k < line.size() && line[k].unicode() >= '0' && line[k].unicode() <= '9')
                    ++k;
                const bool digits = k > 1;
                if (!digits || k >= line.size() || line[k] != u']' || k + 1 != line.size()) {
                    const qsizetype at = !digits                              ? 1
                                         : k < line.size() && line[k] == u']' ? k + 1
                                                                              : k;
                    fault(at, at < line.size()
                                  ? QStringLiteral("stray %1 in a level header; write it as [N]")
                                        .arg(ShowChar(codePoint(line, at)))
                                  : QStringLiteral("unfinished level header; write it as [N]"));
                    current = -1;
                    continue;
                }
                const int n = line.mid(1, k - 1).toInt();
                if (n < 1 || n > Bank::kLevels) {
                    fault(1, QStringLiteral("level %1 is not 1 to %2")
                                 .arg(line.mid(1, k - 1))
                                 .arg(Bank::kLevels));
                    current = -1;
                } else if (n <= sourceLevel) {
                    fault(1,
                          QStringLiteral("level %1 comes after level %2").arg(n).arg(sourceLevel));
                    current = -1;
                } else if (n > levels.size() + 1) {
                    fault(1, QStringLiteral("level %1 is missing before level %2")
                                 .arg(levels.size() + 1)
                                 .arg(n));
                    current = -1;
                } else {
                    if (n > levels.size()) levels.append(QStringList());
                    sourceLevel = current = n;
                }
                continue;
            }
            if (current == 0) {
                fault(0, QStringLiteral("question before the first level header"));
                current = -1;
                continue;
            }
            if (current < 0) continue; // the header above is already reported

            const qsizetype sep = [&] {
                const qsizetype a = line.indexOf(u'^'), b = line.indexOf(u'\\');
                return a < 0 ? b : b < 0 ? a : std::min(a, b);
            }();
            if (sep >= 0) {
                fault(sep, QStringLiteral("%1 would split the bank; it cannot stand in a field")
                               .arg(ShowChar(line[sep].unicode())));
                continue;
            }
            bad = -1;
            for (qsizetype k = 0; k < line.size() && bad < 0; ++k) {
                const char32_t c = codePoint(line, k);
                if (c > 0xFFFF || Cp1251::fromUnicode(line[k]) < 0) bad = k;
            }
            if (bad >= 0) {
                fault(bad, QStringLiteral("%1 has no Windows-1251 code")
                               .arg(ShowChar(codePoint(line, bad))));
                continue;
            }
            const QStringList fields = line.split(u'|');
            if (fields.size() < 6) {
                fault(line.size(), QStringLiteral("only %1 fields, 6 needed (text, four answers, "
                                                  "number of the right one)")
                                       .arg(fields.size()));
                continue;
            }
            auto fieldStart = [&](int f) {
                qsizetype at = 0;
                for (int j = 0; j < f; ++j)
                    at += fields[j].size() + 1;
                return at;
            };
            if (fields.size() > Bank::kFields) {
                fault(fieldStart(Bank::kFields) - 1,
                      QStringLiteral("%1 fields, at most %2: a stray '|'")
                          .arg(fields.size())
                          .arg(Bank::kFields));
                continue;
            }
            if (!Bank::IsCanonicalAnswerNumber(fields[5])) {
                fault(fieldStart(5),
                      QStringLiteral("right answer \"%1\" is not a number 1 to 4").arg(fields[5]));
                continue;
            }
            if (fields[0].isEmpty()) {
                fault(0, QStringLiteral("empty question text"));
                continue;
            }
            levels[current - 1].append(line);
        }
        if (!anything) result.errors << QStringLiteral("%1: empty source").arg(name);
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

void Dump(const QByteArray& plain, const std::function<void(const QByteArray&)>& write)
{
    const std::string_view all(plain.constData(), std::size_t(plain.size()));
    QByteArray chunk;
    auto flush = [&](bool force) {
        if (chunk.size() >= (1 << 20) || (force && !chunk.isEmpty())) {
            write(chunk);
            chunk.clear();
        }
    };
    if (all.empty()) return;
    std::size_t start = 0;
    int level = 0;
    for (std::size_t i = 0;; ++i) {
        if (i == all.size() || all[i] == Bank::kLevelSeparator) {
            if (level > 0) chunk += '\n';
            chunk += QByteArray("[") + QByteArray::number(++level) + "]\n";
            std::size_t q = start;
            for (std::size_t k = start;; ++k) {
                if (k == i || all[k] == Bank::kQuestionSeparator) {
                    if (k > q) {
                        chunk += Cp1251::decode(all.data() + q, qsizetype(k - q)).toUtf8();
                        chunk += '\n';
                        flush(false);
                    }
                    if (k == i) break;
                    q = k + 1;
                }
            }
            if (i == all.size()) break;
            start = i + 1;
        }
    }
    flush(true);
}

QByteArray Dump(const QByteArray& plain)
{
    QByteArray out;
    Dump(plain, [&](const QByteArray& piece) { out += piece; });
    return out;
}

} // namespace BankSource
