// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/QuestionBank.h"

#include "content/CodirText.h"
#include "content/Cp1251.h"

#include <algorithm>
#include <cmath>
#include <string_view>

Bank::QuestionTable Questions;

qint16 QuestionCount(int level)
{
    return Questions.count(level);
}

namespace Bank
{

namespace
{

// Splits like the bank format wants: empty input gives no pieces, otherwise
// separators + 1 pieces, empty ones kept.
template <typename F> void forEachPiece(std::string_view text, char sep, F&& f)
{
    if (text.empty()) return;
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        if (i == text.size() || text[i] == sep) {
            if (!f(text.substr(start, i - start))) return;
            if (i == text.size()) return;
            start = i + 1;
        }
    }
}

std::size_t countPieces(std::string_view text, char sep)
{
    if (text.empty()) return 0;
    return std::size_t(std::count(text.begin(), text.end(), sep)) + 1;
}

} // namespace

int AnswerNumber(const QString& field5)
{
    qsizetype i = 0;
    const qsizetype n = field5.size();
    while (i < n && (field5[i] == u' ' || field5[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (field5[i] == u'+' || field5[i] == u'-')) negative = field5[i++] == u'-';
    double value = 0;
    bool any = false;
    while (i < n && field5[i].isDigit() && field5[i].unicode() < 128) {
        value = value * 10 + (field5[i++].unicode() - '0');
        any = true;
        if (value > 1e9) return 0;
    }
    if (i < n && field5[i] == u'.') {
        double scale = 0.1;
        for (++i; i < n && field5[i].unicode() >= '0' && field5[i].unicode() <= '9'; ++i) {
            value += (field5[i].unicode() - '0') * scale;
            scale /= 10;
            any = true;
        }
    }
    if (!any) return 0;
    const int rounded = static_cast<int>(std::nearbyint(value));
    return negative ? -rounded : rounded;
}

bool IsPlayable(const QString& text, const QString& field5)
{
    const int answer = AnswerNumber(field5);
    return !text.isEmpty() && answer >= 1 && answer <= 4;
}

bool IsCanonicalAnswerNumber(const QString& field5)
{
    return field5.size() == 1 && field5[0] >= u'1' && field5[0] <= u'4';
}

namespace
{
quint64 lastGeneration = 0;
}

void QuestionTable::clear()
{
    generation_ = ++lastGeneration;
    text_.clear();
    levelCount_ = 0;
    for (auto& q : questions_)
        std::vector<Question>().swap(q);
    for (auto& p : playable_)
        std::vector<int>().swap(p);
    counts_.fill(0);
}

void QuestionTable::load(QByteArray plain, const std::function<void()>& afterPiece)
{
    clear();
    text_ = std::move(plain);
    const char* data = text_.constData();
    const std::size_t n = std::size_t(text_.size());
    if (n == 0) return; // an empty text has no levels at all

    // One pass over the text: every "|", "\" and "^" closes a field, a question
    // or a level; the end of the text closes all three.
    int level = 0;
    std::size_t levelStart = 0, questionStart = 0, fieldStart = 0, pieces = 1;
    int field = 0;
    Question current;
    auto closeField = [&](std::size_t end) {
        if (field < kFields) {
            current.offset[field] = static_cast<quint32>(fieldStart);
            current.length[field] = static_cast<quint32>(end - fieldStart);
        }
        ++field;
        fieldStart = end + 1;
    };
    auto closeQuestion = [&](std::size_t end) {
        auto& list = questions_[level];
        if (end > questionStart) closeField(end); // an empty piece stores no fields
        if (list.size() < std::size_t(kQuestions)) list.push_back(current);
        current = Question();
        field = 0;
        questionStart = fieldStart = end + 1;
    };
    auto closeLevel = [&](std::size_t end) {
        auto& list = questions_[level];
        if (end == levelStart) {
            list.clear(); // an empty level piece has no question pieces
            counts_[level] = -1;
        } else {
            counts_[level] = static_cast<qint16>(std::min<std::size_t>(pieces, kQuestions) - 1);
        }
        for (std::size_t i = 0; i < list.size(); ++i) {
            const int idx = static_cast<int>(i);
            if (IsPlayable((*this)(level, 0, idx), (*this)(level, 5, idx)))
                playable_[level].push_back(idx);
        }
        ++level;
        pieces = 1;
        levelStart = end + 1;
    };

    for (std::size_t i = 0; i <= n; ++i) {
        if (i > 0 && i % std::size_t(kLoadPiece) == 0 && afterPiece) afterPiece();
        const char c = i < n ? data[i] : kLevelSeparator;
        if (c != kFieldSeparator && c != kQuestionSeparator && c != kLevelSeparator) continue;
        if (c == kFieldSeparator) {
            closeField(i);
            continue;
        }
        closeQuestion(i);
        if (c == kQuestionSeparator) {
            ++pieces;
            continue;
        }
        closeLevel(i);
        if (level >= kLevels) break;
    }
    levelCount_ = level;
}

QString QuestionTable::operator()(int level, int field, int question) const
{
    if (level < 0 || level >= kLevels || field < 0 || field >= kFields || question < 0) return {};
    const auto& list = questions_[level];
    if (std::size_t(question) >= list.size()) return {};
    const Question& q = list[std::size_t(question)];
    return Cp1251::decode(text_.constData() + q.offset[field], q.length[field]);
}

qint16 QuestionTable::count(int level) const
{
    return level >= 0 && level < kLevels ? counts_[level] : qint16(0);
}

bool QuestionTable::hasLevel(int level) const
{
    return level >= 0 && level < levelCount_;
}

const std::vector<int>& QuestionTable::playable(int level) const
{
    static const std::vector<int> none;
    return level >= 0 && level < kLevels ? playable_[level] : none;
}

int QuestionTable::draw(int level, float r) const
{
    const auto& list = playable(level);
    if (list.empty()) return -1;
    // In double, r * n stays below n; in single precision it could round up to n.
    std::size_t i = static_cast<std::size_t>(double(r) * double(list.size()));
    i = std::min(i, list.size() - 1);
    return list[i];
}

std::size_t QuestionTable::memoryUsage() const
{
    std::size_t bytes = sizeof(*this) + std::size_t(text_.capacity());
    for (int l = 0; l < kLevels; ++l)
        bytes +=
            questions_[l].capacity() * sizeof(Question) + playable_[l].capacity() * sizeof(int);
    return bytes;
}

QByteArray PlainTextFromFile(QByteArray bytes, const std::function<void()>& afterPiece)
{
    // Reading ends every line with CR LF and descrambling reverses the text, so
    // after it the text starts with a line break and only its end can be trimmed:
    // those are the blanks (stored as 0x90) that open the file's first line.
    qsizetype leadingBlanks = 0;
    while (leadingBlanks < bytes.size() &&
           static_cast<unsigned char>(bytes.at(leadingBlanks)) == 0x90)
        ++leadingBlanks;

    static const std::array<unsigned char, 256> map = [] {
        std::array<unsigned char, 256> m{};
        for (int c = 0; c < 256; ++c)
            m[std::size_t(c)] = CodirText::mapByte(static_cast<unsigned char>(c));
        return m;
    }();
    const auto mapped = [](char c) {
        return static_cast<char>(map[static_cast<unsigned char>(c)]);
    };
    // In place: fresh memory costs more here than the work itself.
    char* data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype kept = 0;
    for (qsizetype from = 0; from < size; from += kLoadPiece) {
        const qsizetype to = std::min(size, from + kLoadPiece);
        for (qsizetype i = from; i < to; ++i)
            if (data[i] != '\r' && data[i] != '\n') data[kept++] = data[i];
        if (afterPiece) afterPiece();
    }
    // Reversed and mapped from both ends at once: the middle byte of an odd
    // length pairs with itself.
    const qsizetype pairs = (kept + 1) / 2;
    for (qsizetype from = 0; from < pairs; from += kLoadPiece / 2) {
        const qsizetype to = std::min(pairs, from + kLoadPiece / 2);
        for (qsizetype a = from; a < to; ++a) {
            const qsizetype b = kept - 1 - a;
            const char first = mapped(data[a]);
            data[a] = mapped(data[b]);
            data[b] = first;
        }
        if (afterPiece) afterPiece();
    }
    bytes.truncate(kept - leadingBlanks);
    return bytes;
}

QByteArray ScrambleBank(const QByteArray& plain)
{
    QByteArray bytes = plain;
    CodirText::decodeBytes(bytes);
    return bytes;
}

int QuestionDeck::deal(const QuestionTable& table, int level, const std::function<float()>& rnd)
{
    if (level < 0 || level >= kLevels) return -1;
    auto& deck = decks_[std::size_t(level)];
    if (generation_[std::size_t(level)] != table.generation()) {
        deck.clear();
        generation_[std::size_t(level)] = table.generation();
    }
    if (deck.empty()) {
        deck = table.playable(level);
        // Fisher-Yates, dealt from the back.
        for (std::size_t i = deck.size(); i > 1; --i) {
            const std::size_t j =
                std::min(i - 1, static_cast<std::size_t>(double(rnd()) * double(i)));
            std::swap(deck[i - 1], deck[j]);
        }
    }
    if (deck.empty()) return -1;
    const int q = deck.back();
    deck.pop_back();
    return q;
}

CheckResult CheckBank(const QByteArray& plain)
{
    CheckResult r;
    QStringList& errors = r.errors;
    QStringList& warnings = r.warnings;
    const std::string_view all(plain.constData(), std::size_t(plain.size()));
    const std::size_t levels = countPieces(all, kLevelSeparator);
    if (levels > std::size_t(kLevels))
        errors << QStringLiteral("the bank has %1 levels; only %2 fit, the rest is never loaded")
                      .arg(levels)
                      .arg(kLevels);

    int level = 0;
    forEachPiece(all, kLevelSeparator, [&](std::string_view levelText) {
        const int number = ++level;
        if (number > kLevels) return false;
        const QString where = QStringLiteral("level %1").arg(number);
        const std::size_t pieces = countPieces(levelText, kQuestionSeparator);
        // The empty piece after a closing "\" is how a level ends, not a question.
        const bool closed = !levelText.empty() && levelText.back() == kQuestionSeparator;
        const std::size_t questions = pieces - (closed ? 1 : 0);
        if (questions > std::size_t(kQuestions))
            errors << QStringLiteral("%1: %2 questions; only %3 fit, the rest is never asked")
                          .arg(where)
                          .arg(questions)
                          .arg(kQuestions);
        std::size_t q = 0;
        forEachPiece(levelText, kQuestionSeparator, [&](std::string_view qText) {
            ++q;
            if (q > std::size_t(kQuestions)) return false;
            const QString at = QStringLiteral("%1, question %2: ").arg(where).arg(q);
            if (qText.empty()) {
                if (q != pieces) errors << at + QStringLiteral("empty question");
                return true;
            }
            QStringList fields;
            forEachPiece(qText, kFieldSeparator, [&](std::string_view f) {
                fields << Cp1251::decode(f.data(), qsizetype(f.size()));
                return true;
            });
            auto field = [&](int i) { return i < fields.size() ? fields[i] : QString(); };
            const QString text = field(0), right = field(5);
            const bool playable = IsPlayable(text, right);
            if (playable) ++r.playable[std::size_t(number - 1)];

            if (fields.size() < 6)
                errors << at + QStringLiteral("only %1 fields, 6 needed").arg(fields.size());
            if (text.isEmpty()) errors << at + QStringLiteral("empty question text");
            if (fields.size() >= 6 && !IsPlayable(QStringLiteral("x"), right))
                errors << at + QStringLiteral("field 5 \"%1\" is not a number 1 to 4").arg(right);

            if (fields.size() > kFields)
                warnings << at + QStringLiteral("%1 fields, at most %2 are loaded (a stray \"|\" "
                                                "splits a field)")
                                     .arg(fields.size())
                                     .arg(kFields);
            if (!text.isEmpty() && text.trimmed().isEmpty())
                warnings << at + QStringLiteral("question text is only blanks");
            for (int i = 1; i <= 4; ++i) {
                if (field(i).isEmpty())
                    warnings << at + QStringLiteral("answer %1 is empty").arg(i);
                else if (field(i).trimmed().isEmpty())
                    warnings << at + QStringLiteral("answer %1 is only blanks").arg(i);
            }
            for (int i = 1; i <= 4; ++i)
                for (int j = i + 1; j <= 4; ++j)
                    if (!field(i).trimmed().isEmpty() &&
                        field(i).trimmed().compare(field(j).trimmed(), Qt::CaseInsensitive) == 0)
                        warnings << at +
                                        QStringLiteral("answers %1 and %2 are equal").arg(i).arg(j);
            if (playable && !IsCanonicalAnswerNumber(right))
                warnings << at + QStringLiteral("field 5 \"%1\" is read as %2; write it as %2")
                                     .arg(right)
                                     .arg(AnswerNumber(right));
            for (int i = 0; i < fields.size() && i < kFields; ++i)
                if (std::any_of(fields[i].begin(), fields[i].end(),
                                [](QChar c) { return c.unicode() < 32; })) {
                    warnings << at + QStringLiteral("control character in field %1").arg(i);
                    break;
                }
            return true;
        });
        return true;
    });

    for (int l = 0; l < 15; ++l) {
        const QString where = QStringLiteral("level %1").arg(l + 1);
        if (l >= int(std::min<std::size_t>(levels, kLevels)))
            errors << where + QStringLiteral(": missing");
        else if (r.playable[std::size_t(l)] == 0)
            errors << where + QStringLiteral(": no playable question");
    }
    return r;
}

} // namespace Bank
