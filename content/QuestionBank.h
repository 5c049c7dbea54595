// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace Bank
{

inline constexpr int kLevels = 16;
inline constexpr int kFields = 7;
inline constexpr int kQuestions = 32768;

inline constexpr char kLevelSeparator = '^';
inline constexpr char kQuestionSeparator = '\\';
inline constexpr char kFieldSeparator = '|';

// The number of the right answer as the game reads field 5: its leading decimal
// number rounded to the nearest integer (halves to even), 0 when there is none.
int AnswerNumber(const QString& field5);

// The question table, indexed (level, field, question) like the bank file.
// It keeps the plain text once and remembers where each field lies, so the
// memory grows with the file and not with the table's bounds.
class QuestionTable
{
  public:
    // Parses plain Windows-1251 text without line breaks. Anything beyond the
    // table's bounds is ignored. `yield` is called about every 10 ms of work.
    void load(QByteArray plain, const std::function<void()>& yield = {});
    void clear();

    // The stored field; the empty string for any slot the file did not fill.
    QString operator()(int level, int field, int question) const;
    // Highest question index of a level as produced by the split: -1 for an
    // empty level, 0 for a level the file does not contain.
    qint16 count(int level) const;
    bool hasLevel(int level) const;
    // Questions with a text and a right answer 1 to 4, in file order.
    const std::vector<int>& playable(int level) const;
    // A uniform pick among the playable questions for r in [0, 1); -1 when none.
    int draw(int level, float r) const;

    std::size_t memoryUsage() const;

  private:
    struct Question {
        std::array<quint32, kFields> offset{};
        std::array<quint32, kFields> length{};
    };
    QByteArray text_;
    int levelCount_ = 0;
    std::array<std::vector<Question>, kLevels> questions_;
    std::array<std::vector<int>, kLevels> playable_;
    std::array<qint16, kLevels> counts_{};
};

// The plain text that the loader gets from a bank file's bytes: lines joined,
// descrambled, trailing blanks trimmed, line breaks dropped.
QByteArray PlainTextFromFile(QByteArray fileBytes);
// The file bytes for a plain text: the inverse of the above, on one line.
QByteArray ScrambleBank(const QByteArray& plain);

// Everything a bank author needs to fix, one line per fault; empty for a clean bank.
QStringList CheckBank(const QByteArray& plain);

} // namespace Bank

// The bank of this run, filled once at start-up.
extern Bank::QuestionTable Questions;
qint16 QuestionCount(int level);
