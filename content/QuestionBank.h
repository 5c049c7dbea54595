// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/OpinSaving.h"

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
// The one definition of a question the game can play, shared by the draw and
// the bank check: it has a text (blanks are shown like any other text) and its
// field 5 reads as a number 1 to 4.
bool IsPlayable(const QString& text, const QString& field5);
// Field 5 written the way the bank tools write it: a single digit 1 to 4.
bool IsCanonicalAnswerNumber(const QString& field5);

// The question table, indexed (level, field, question) like the bank file.
// It keeps the plain text once and remembers where each field lies, so the
// memory grows with the file and not with the table's bounds.
class QuestionTable
{
  public:
    // Parses plain Windows-1251 text without line breaks. Anything beyond the
    // table's bounds is ignored. `afterPiece` is called after every kLoadPiece bytes.
    void load(QByteArray plain, const std::function<void()>& afterPiece = {});
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
    // Changes with every load, so that whoever keeps state about a bank can
    // tell that it was replaced.
    quint64 generation() const { return generation_; }

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
    quint64 generation_ = 0;
};

// Draws without repeats: each level has a shuffled deck of its playable
// questions, dealt one at a time; when it runs out a fresh one is shuffled.
// Nothing of it outlives the run.
class QuestionDeck
{
  public:
    // The next question of `level`, or -1 when the level has no playable one.
    // `rnd` gives numbers in [0, 1).
    int deal(const QuestionTable& table, int level, const std::function<float()>& rnd);

  private:
    std::array<std::vector<int>, kLevels> decks_;
    std::array<quint64, kLevels> generation_{};
};

// The plain text that the loader gets from a bank file's bytes: lines joined,
// descrambled, trailing blanks trimmed, line breaks dropped. `afterPiece` is
// called after every kLoadPiece bytes of each pass.
QByteArray PlainTextFromFile(QByteArray fileBytes, const std::function<void()>& afterPiece = {});
// The file bytes for a plain text: the inverse of the above, on one line.
QByteArray ScrambleBank(const QByteArray& plain);

// Everything a bank author needs to fix, one line each. Errors are what the
// game cannot play (a question it never draws, a level without a playable
// question, anything beyond the table's bounds); warnings are what it plays
// but an author should mend (blank texts, a field 5 such as " 2", equal answers).
struct CheckResult {
    QStringList errors;
    QStringList warnings;
    std::array<int, kLevels> playable{}; // per level
};
CheckResult CheckBank(const QByteArray& plain);

} // namespace Bank

// The bank of this run, filled once at start-up.
extern Bank::QuestionTable Questions;
qint16 QuestionCount(int level);
