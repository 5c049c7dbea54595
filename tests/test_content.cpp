// SPDX-License-Identifier: GPL-3.0-or-later
// The question file: code page, scrambling, reading, loading, ladder.
#include "TestSupport.h"
#include "base/AllCorrector.h"
#include "base/AppPath.h"
#include "base/Random.h"
#include "content/BankCsv.h"
#include "content/BankSource.h"
#include "content/BankStats.h"
#include "content/CodirText.h"
#include "content/Cp1251.h"
#include "content/LoadingData.h"
#include "content/OpinSaving.h"
#include "content/QuestionBank.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

using namespace TestSupport;

namespace
{
QByteArray cp(const QString& s)
{
    return Cp1251::encode(s);
}

// The loader's clean-up done literally, step by step, on strings.
QByteArray literalPlain(const QString& path)
{
    QString text = DecodeText(ReadTextFile(path));
    qsizetype a = 0, b = text.size();
    while (a < b && text[a] == u' ')
        ++a;
    while (b > a && text[b - 1] == u' ')
        --b;
    text = text.mid(a, b - a);
    text.remove(u'\r');
    text.remove(u'\n');
    return Cp1251::encode(text);
}

Bank::QuestionTable loaded(const QByteArray& plain)
{
    Bank::QuestionTable t;
    t.load(plain);
    return t;
}
} // namespace

class TestContent : public QObject
{
    Q_OBJECT
  private slots:
    void codePageRoundTripsEveryByte()
    {
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        const QString text = Cp1251::decode(all);
        QCOMPARE(text.size(), 256);
        bool ok = false;
        QCOMPARE(Cp1251::encode(text, &ok), all);
        QVERIFY(ok);
        QCOMPARE(text[0xC0], QChar(u'А'));
        QCOMPARE(text[0xFF], QChar(u'я'));
        QCOMPARE(text[0xA8], QChar(u'Ё'));
        QCOMPARE(text[0xB8], QChar(u'ё'));
        QCOMPARE(text[0xB9], QChar(u'№'));
        QCOMPARE(text[0x97], QChar(u'—'));
        QCOMPARE(text[0xAB], QChar(u'«'));
        QCOMPARE(text[0x98].unicode(), char16_t(0x98));
        Cp1251::encode(QStringLiteral("€ ok ☺"), &ok);
        QVERIFY(!ok);
    }

    void scramblingMatchesTheFileFormat()
    {
        QCOMPARE(cp(DecodeText(QStringLiteral("abc"))), QByteArray::fromHex("d3d2d1"));
        QCOMPARE(cp(DecodeText(QStringLiteral("^\\| ("))), QByteArray::fromHex("98 90 ec cc ce"));
        // Controls stay as they are, CR LF included (reversed like everything else).
        QCOMPARE(DecodeText(QStringLiteral("\r\n\t")), QStringLiteral("\t\n\r"));
        // Its own inverse over every byte value.
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = char(255 - i);
        const QString text = Cp1251::decode(all);
        QCOMPARE(DecodeText(DecodeText(text)), text);
        QByteArray bytes = all;
        CodirText::decodeBytes(bytes);
        QCOMPARE(bytes, cp(DecodeText(text)));
        QCOMPARE(DecodeText(QString()), QString());
    }

    void readTextFileEndsEveryLineWithCrLf()
    {
        QTemporaryDir dir;
        const QString p = dir.filePath("t.txt");
        QCOMPARE(ReadTextFile(dir.filePath("missing.txt")), QString());
        QCOMPARE(ReadTextFile(dir.path()), QString()); // a folder is no file
        QVERIFY(WriteFile(p, QByteArray()));
        QCOMPARE(ReadTextFile(p), QString());
        QVERIFY(WriteFile(p, cp(QStringLiteral("один\r\nдва"))));
        QCOMPARE(ReadTextFile(p), QStringLiteral("один\r\nдва\r\n"));
        QVERIFY(WriteFile(p, QByteArray("a\nb\rc\r\n\r\nd\r\n")));
        QCOMPARE(ReadTextFile(p), QStringLiteral("a\r\nb\r\nc\r\n\r\nd\r\n"));
        QVERIFY(WriteFile(dir.filePath(".hidden"), "x"));
        QCOMPARE(ReadTextFile(dir.filePath(".hidden")), QString());
    }

    void fastCleanUpEqualsTheLiteralSteps()
    {
        // Random files with blanks (stored 0x90) and line breaks at the edges.
        QTemporaryDir dir;
        const QString p = dir.filePath("q.qvr");
        QRandomGenerator rng(7);
        const char pool[] = {'\x90', '\x90', '\r',   '\n',   'A',
                             '\xCC', '\x20', '\x01', '\xEC', '\xCE'};
        for (int round = 0; round < 400; ++round) {
            QByteArray file;
            const int n = int(rng.bounded(12));
            for (int i = 0; i < n; ++i)
                file += pool[rng.bounded(int(sizeof pool))];
            QVERIFY(WriteFile(p, file));
            QCOMPARE(Bank::PlainTextFromFile(file), literalPlain(p));
        }
    }

    void oneQuestionFillsItsSixFields()
    {
        const auto t = loaded(cp(QStringLiteral("Q|a1|a2|a3|a4|2")));
        QCOMPARE(t.count(0), qint16(0));
        const QStringList expected{"Q", "a1", "a2", "a3", "a4", "2"};
        for (int f = 0; f < 6; ++f)
            QCOMPARE(t(0, f, 0), expected[f]);
        QCOMPARE(t(0, 6, 0), QString());
        for (int l = 1; l < 16; ++l) {
            QCOMPARE(t.count(l), qint16(0));
            QVERIFY(!t.hasLevel(l));
        }
        QCOMPARE(t(0, 0, 1), QString());
        QCOMPARE(t(-1, 0, 0), QString());
        QCOMPARE(t(16, 0, 0), QString());
        QCOMPARE(t(0, 7, 0), QString());
    }

    void countsFollowTheSplit()
    {
        const auto t = loaded(cp(QStringLiteral("q1|a|b|c|d|1\\q2|a|b|c|d|2\\")));
        QCOMPARE(t.count(0), qint16(2));
        QCOMPARE(t(0, 0, 1), QStringLiteral("q2"));
        QCOMPARE(t(0, 0, 2), QString());
        const auto empty = loaded("^^");
        for (int l = 0; l < 3; ++l)
            QCOMPARE(empty.count(l), qint16(-1));
        QCOMPARE(empty.count(3), qint16(0));
        // Adjacent separators keep an empty piece between them.
        const auto gap = loaded(cp(QStringLiteral("q1|a|b|c|d|1\\\\q3|a|b|c|d|3\\")));
        QCOMPARE(gap.count(0), qint16(3));
        QCOMPARE(gap(0, 0, 1), QString());
        QCOMPARE(gap(0, 0, 2), QStringLiteral("q3"));
        QCOMPARE(gap.playable(0), (std::vector<int>{0, 2}));
    }

    void lineBreaksAndBlanksOfTheFile()
    {
        const QByteArray plain = MakePlainBank(4);
        QTemporaryDir dir;
        const QString p = dir.filePath("q.qvr");
        WriteFile(p, MakeBankFile(plain + "   "));
        const QByteArray oneLine = literalPlain(p);
        QCOMPARE(oneLine, plain); // trailing blanks trimmed
        for (int len : {1, 7, 60, 1000}) {
            WriteFile(p, MakeBankFile(plain, len));
            QCOMPARE(literalPlain(p), oneLine);
            QCOMPARE(Bank::PlainTextFromFile(*ReadFileBytes(p)), oneLine);
        }
        // Blanks at the start of the plain text stay in the first question.
        const QByteArray lead = "  Q|a|b|c|d|1\\";
        WriteFile(p, MakeBankFile(lead, 5));
        QCOMPARE(loaded(Bank::PlainTextFromFile(*ReadFileBytes(p)))(0, 0, 0),
                 QStringLiteral("  Q"));
        // A control character other than CR or LF ends up in its field; "(" survives.
        const QByteArray odd = cp(QStringLiteral("Вопрос (\x01)|a|b|c|d|1\\"));
        WriteFile(p, MakeBankFile(odd, 3));
        QCOMPARE(loaded(Bank::PlainTextFromFile(*ReadFileBytes(p)))(0, 0, 0),
                 QStringLiteral("Вопрос (\x01)"));
    }

    void boundsOfTheTableAreNeverPassed()
    {
        QByteArray many;
        for (int l = 0; l < 20; ++l)
            many += (l ? "^" : "") + QByteArray("q|a|b|c|d|1|6|7|8|9\\");
        const auto t = loaded(many);
        QCOMPARE(t(15, 0, 0), QStringLiteral("q"));
        QCOMPARE(t(15, 6, 0), QStringLiteral("6"));
        QCOMPARE(t(15, 7, 0), QString());
        QCOMPARE(t(0, 0, 1), QString());

        QByteArray big;
        for (int q = 0; q < 40000; ++q)
            big += "q|a|b|c|d|1\\";
        const auto b = loaded(big);
        QCOMPARE(b.count(0), qint16(32767));
        QCOMPARE(int(b.playable(0).size()), 32768);
        QCOMPARE(b(0, 0, 32767), QStringLiteral("q"));
        QCOMPARE(b(0, 0, 32768), QString());

        // Random bytes: whatever comes out, no crash and no slot outside the table.
        QRandomGenerator rng(11);
        for (int round = 0; round < 50; ++round) {
            QByteArray junk(int(rng.bounded(5000)), Qt::Uninitialized);
            for (auto& c : junk)
                c = char(rng.bounded(256));
            const auto j = loaded(Bank::PlainTextFromFile(junk));
            for (int l = 0; l < 16; ++l)
                QVERIFY(j.count(l) >= -1);
        }
    }

    void hugeBankStaysInBounds()
    {
        // About 200 MB: 20 levels of 40 000 questions with 10 fields each.
        const QByteArray question = QByteArray("Q|a|b|c|d|1|6|7|8|") + QByteArray(220, 'x') + '\\';
        QByteArray level;
        for (int q = 0; q < 40000; ++q)
            level += question;
        QByteArray plain;
        plain.reserve(20 * level.size() + 20);
        for (int l = 0; l < 20; ++l)
            plain += (l ? "^" : "") + level;
        QVERIFY(plain.size() > 190'000'000);
        int yields = 0;
        Bank::QuestionTable t;
        t.load(Bank::PlainTextFromFile(Bank::ScrambleBank(plain)), [&] { ++yields; });
        QVERIFY(yields > 0);
        for (int l = 0; l < 16; ++l) {
            QCOMPARE(t.count(l), qint16(32767));
            QCOMPARE(int(t.playable(l).size()), 32768);
        }
        QCOMPARE(t(15, 6, 32767), QStringLiteral("6"));
        QCOMPARE(t(15, 0, 32768), QString());
        QVERIFY(t.memoryUsage() < std::size_t(plain.size()) * 2);
    }

    void answerNumberReadsLikeTheGame()
    {
        QCOMPARE(Bank::AnswerNumber("2"), 2);
        QCOMPARE(Bank::AnswerNumber(" 3"), 3);
        QCOMPARE(Bank::AnswerNumber("2.5"), 2);
        QCOMPARE(Bank::AnswerNumber("3.5"), 4);
        QCOMPARE(Bank::AnswerNumber("4abc"), 4);
        QCOMPARE(Bank::AnswerNumber("x1"), 0);
        QCOMPARE(Bank::AnswerNumber(""), 0);
        QCOMPARE(Bank::AnswerNumber("5"), 5);
        QCOMPARE(Bank::AnswerNumber("-1"), -1);
        QCOMPARE(Bank::AnswerNumber("99999999999999"), 0);
    }

    void drawIsUniformOverPlayableQuestions()
    {
        // Question 1 has no right answer, question 3 no text: neither is ever drawn;
        // the last question of the level is.
        const auto t = loaded(cp(
            QStringLiteral("q0|a|b|c|d|1\\q1|a|b|c|d|7\\q2|a|b|c|d|2\\|a|b|c|d|3\\q4|a|b|c|d|4")));
        QCOMPARE(t.playable(0), (std::vector<int>{0, 2, 4}));
        QCOMPARE(t.draw(0, 0.0f), 0);
        QCOMPARE(t.draw(0, std::nextafter(1.0f, 0.0f)), 4);
        std::array<int, 5> hits{};
        Randomize(5);
        for (int i = 0; i < 30000; ++i)
            ++hits[std::size_t(t.draw(0, Rnd()))];
        QCOMPARE(hits[1] + hits[3], 0);
        for (int q : {0, 2, 4})
            QVERIFY2(hits[q] > 9500 && hits[q] < 10500, qPrintable(QString::number(hits[q])));
        QCOMPARE(t.draw(1, 0.5f), -1);
    }

    void loadQuestionsTellsMissingFromDamaged()
    {
        QTemporaryDir dir;
        AppPath = WithTrailingSeparator(dir.path());
        QCOMPARE(LoadingData::LoadQuestions(), BankStatus::Missing);
        QDir(dir.path()).mkdir("questions.qvr");
        QCOMPARE(LoadingData::LoadQuestions(), BankStatus::Missing);
        QDir(dir.path()).rmdir("questions.qvr");
        const QString p = dir.filePath("questions.qvr");
        WriteFile(p, QByteArray());
        QCOMPARE(LoadingData::LoadQuestions(), BankStatus::Damaged);
        WriteFile(p, QByteArray(3000, '\xAA'));
        QCOMPARE(LoadingData::LoadQuestions(), BankStatus::Damaged);
        // Fourteen good levels and an empty fifteenth.
        QByteArray plain = MakePlainBank(2);
        plain.truncate(plain.lastIndexOf('^') + 1);
        WriteFile(p, MakeBankFile(plain, 50));
        QCOMPARE(LoadingData::LoadQuestions(), BankStatus::Damaged);
        WriteFile(p, MakeBankFile(MakePlainBank(3), 50));
        QCOMPARE(LoadingData::LoadQuestions(), BankStatus::Loaded);
        QCOMPARE(QuestionCount(14), qint16(3));
        QCOMPARE(Questions(14, 0, 2), QStringLiteral("Вопрос 15.2"));
    }

    // A bank of some MB in lines loads piece by piece to the table its plain
    // text gives, and the loader reports pieces all through: while reading and
    // descrambling too, not only while splitting, so the splash window gets its
    // turns from the start.
    void loaderReportsPiecesOfEveryStep()
    {
        QTemporaryDir dir;
        AppPath = WithTrailingSeparator(dir.path());
        const QByteArray plain = MakePlainBank(4000);
        const QByteArray file = MakeBankFile(plain, 77);
        QVERIFY(file.size() > 4 * kLoadPiece);
        QVERIFY(WriteFile(dir.filePath("questions.qvr"), file));
        std::vector<LoadStep> steps;
        QCOMPARE(LoadingData::LoadQuestions([&](LoadStep s) { steps.push_back(s); }),
                 BankStatus::Loaded);
        const auto count = [&](LoadStep s) { return std::count(steps.begin(), steps.end(), s); };
        // At least one report a MiB, in the order of the work.
        const qsizetype mib = file.size() / kLoadPiece;
        QVERIFY(count(LoadStep::Reading) >= mib);
        QVERIFY(count(LoadStep::Descrambling) >= mib);
        QVERIFY(count(LoadStep::Splitting) >= plain.size() / kLoadPiece);
        QVERIFY(std::is_sorted(steps.begin(), steps.end()));
        QCOMPARE(*ReadFileBytes(dir.filePath("questions.qvr")), file);

        const Bank::QuestionTable expected = loaded(plain);
        for (int l = 0; l < Bank::kLevels; ++l) {
            QCOMPARE(Questions.count(l), expected.count(l));
            QCOMPARE(Questions.hasLevel(l), expected.hasLevel(l));
            QVERIFY(Questions.playable(l) == expected.playable(l));
            for (int q = 0; q <= expected.count(l); ++q)
                for (int f = 0; f < Bank::kFields; ++f)
                    if (Questions(l, f, q) != expected(l, f, q))
                        QFAIL(qPrintable(QStringLiteral("%1.%2.%3").arg(l).arg(q).arg(f)));
        }
        QCOMPARE(Questions(14, 0, 3999), QStringLiteral("Вопрос 15.3999"));

        // The paced loader the game uses gives the same table; an odd length
        // descrambles its middle byte once.
        QCOMPARE(LoadingData::LoadQuestions(), BankStatus::Loaded);
        QCOMPARE(Questions(7, 3, 2500), expected(7, 3, 2500));
        const QByteArray odd = plain + "x";
        QCOMPARE(Bank::PlainTextFromFile(MakeBankFile(odd, 77), [] {}), odd);
    }

    void ladder()
    {
        LoadingData::BuildPrizes();
        LoadingData::BuildLevelNames();
        const std::array<qint32, 17> prizes{0,      125,    250,     500,     1000,  2000,
                                            4000,   8000,   16000,   32000,   64000, 125000,
                                            250000, 500000, 1000000, 2000000, 0};
        QCOMPARE(Prizes, prizes);
        QCOMPARE(LevelNames[0] + LevelNames[1], QStringLiteral("Вопрос первый:"));
        QCOMPARE(LevelNames[4], QStringLiteral("четвёртый:"));
        QCOMPARE(LevelNames[11], QStringLiteral("одинадцатый:"));
        QCOMPARE(LevelNames[15], QStringLiteral("пятнадцатый:"));
        QCOMPARE(LevelNames[16], QString());
    }

    void checkNamesEveryFault()
    {
        const auto clean = Bank::CheckBank(MakePlainBank(1));
        QVERIFY(clean.errors.isEmpty() && clean.warnings.isEmpty());
        QByteArray plain = MakePlainBank(1);
        plain.replace(cp(QStringLiteral("Вопрос 3.0|")), "|");
        plain.replace(cp(QStringLiteral("|Ответ 4.0.2|")), cp(QStringLiteral("|Ответ 4.0.1|")));
        plain.replace(cp(QStringLiteral("Ответ 7.0.4|1\\")), cp(QStringLiteral("Ответ 7.0.4|9\\")));
        plain.replace(cp(QStringLiteral("|Ответ 8.0.3|")), "||");
        plain += "^^x";
        const auto r = Bank::CheckBank(plain);
        auto has = [](const QStringList& list, const char* text) {
            return std::any_of(list.begin(), list.end(),
                               [&](const QString& f) { return f.contains(QLatin1String(text)); });
        };
        const QString all = r.errors.join('\n') + "\n--\n" + r.warnings.join('\n');
        QVERIFY2(has(r.errors, "level 3, question 1: empty question text"), qPrintable(all));
        QVERIFY(has(r.errors, "level 3: no playable question"));
        QVERIFY(has(r.warnings, "level 4, question 1: answers 1 and 2 are equal"));
        QVERIFY(has(r.errors, "level 7, question 1: field 5 \"9\" is not a number 1 to 4"));
        QVERIFY(has(r.warnings, "level 8, question 1: answer 3 is empty"));
        QVERIFY(has(r.errors, "the bank has 17 levels"));
        QCOMPARE(r.errors.size(), 5);
        QVERIFY(Bank::CheckBank(QByteArray()).errors.contains(QStringLiteral("level 1: missing")));
    }

    // What the game draws and plays is at most a warning; what it cannot play
    // is an error. Both sides use the same definition.
    void checkAgreesWithTheGame_data()
    {
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("playable");
        QTest::addColumn<QString>("message");
        QTest::newRow("blank number") << "Q|a|b|c|d| 2" << true << "field 5 \" 2\" is read as 2";
        QTest::newRow("leading zero") << "Q|a|b|c|d|02" << true << "field 5 \"02\" is read as 2";
        QTest::newRow("decimal") << "Q|a|b|c|d|2.0" << true << "field 5 \"2.0\" is read as 2";
        QTest::newRow("rounded") << "Q|a|b|c|d|3.5" << true << "field 5 \"3.5\" is read as 4";
        QTest::newRow("blank text") << "   |a|b|c|d|1" << true << "question text is only blanks";
        QTest::newRow("blank answer") << "Q| |b|c|d|1" << true << "answer 1 is only blanks";
        QTest::newRow("eight fields") << "Q|a|b|c|d|1|n|x" << true << "8 fields";
        QTest::newRow("control") << "Q\x01|a|b|c|d|1" << true << "control character in field 0";
        QTest::newRow("five") << "Q|a|b|c|d|5" << false << "field 5 \"5\" is not a number";
        QTest::newRow("half") << "Q|a|b|c|d|0.5" << false << "field 5 \"0.5\" is not a number";
        QTest::newRow("no text") << "|a|b|c|d|1" << false << "empty question text";
        QTest::newRow("five fields") << "Q|a|b|c|d" << false << "only 5 fields";
    }
    void checkAgreesWithTheGame()
    {
        QFETCH(QString, question);
        QFETCH(bool, playable);
        QFETCH(QString, message);
        // Level 2 holds the question under test after one good question.
        QByteArray plain = MakePlainBank(1);
        const QByteArray good = cp(QStringLiteral("Вопрос 2.0|Ответ 2.0.1|Ответ 2.0.2|Ответ "
                                                  "2.0.3|Ответ 2.0.4|1\\"));
        QVERIFY(plain.contains(good));
        plain.replace(good, good + cp(question) + '\\');
        const auto r = Bank::CheckBank(plain);
        const auto t = loaded(plain);
        QCOMPARE(t.playable(1).size(), std::size_t(playable ? 2 : 1));
        QCOMPARE(r.playable[1], playable ? 2 : 1);
        const QStringList& expected = playable ? r.warnings : r.errors;
        const QString all = r.errors.join('\n') + "\n--\n" + r.warnings.join('\n');
        QVERIFY2(expected.size() == 1 && expected[0].startsWith("level 2, question 2: ") &&
                     expected[0].contains(message),
                 qPrintable(all));
        QCOMPARE((playable ? r.errors : r.warnings).size(), 0);
    }

    void checkCountsAFullLevelRight()
    {
        QByteArray plain = MakePlainBank(1);
        const qsizetype end = plain.indexOf('^');
        QByteArray full;
        for (int q = 0; q < Bank::kQuestions; ++q)
            full += "q|a|b|c|d|1\\";
        QByteArray bank = full + plain.mid(end);
        auto r = Bank::CheckBank(bank);
        QVERIFY2(r.errors.isEmpty(), qPrintable(r.errors.join('\n')));
        QCOMPARE(r.playable[0], Bank::kQuestions);
        QCOMPARE(int(loaded(bank).playable(0).size()), Bank::kQuestions);
        // The same without the closing "\": still 32 768 questions.
        bank = full.chopped(1) + plain.mid(end);
        QVERIFY(Bank::CheckBank(bank).errors.isEmpty());
        // One more is one too many, and the table drops it.
        bank = full + "q|a|b|c|d|1\\" + plain.mid(end);
        r = Bank::CheckBank(bank);
        QCOMPARE(r.errors.size(), 1);
        QVERIFY(r.errors[0].startsWith("level 1: 32769 questions"));
        QCOMPARE(int(loaded(bank).playable(0).size()), Bank::kQuestions);
    }

    // Every playable question of a level once, in a shuffled order, before any again.
    void deckDealsEachPlayableQuestionOncePerRound()
    {
        const auto t = loaded(cp(
            QStringLiteral("q0|a|b|c|d|1\\q1|a|b|c|d|7\\q2|a|b|c|d|2\\|a|b|c|d|3\\q4|a|b|c|d|4")));
        Bank::QuestionDeck deck;
        Randomize(99);
        std::map<std::vector<int>, int> orders;
        for (int round = 0; round < 3000; ++round) {
            std::vector<int> dealt;
            for (int i = 0; i < 3; ++i)
                dealt.push_back(deck.deal(t, 0, Rnd));
            orders[dealt]++;
            std::vector<int> sorted = dealt;
            std::sort(sorted.begin(), sorted.end());
            QCOMPARE(sorted, (std::vector<int>{0, 2, 4}));
        }
        // All six orders, about equally often.
        QCOMPARE(orders.size(), std::size_t(6));
        for (const auto& [order, n] : orders)
            QVERIFY2(n > 400 && n < 600, qPrintable(QString::number(n)));
        QCOMPARE(deck.deal(t, 1, Rnd), -1);
        QCOMPARE(deck.deal(t, 16, Rnd), -1);
        // A new bank starts a fresh deck: nothing of the old one is dealt.
        const auto other = loaded(cp(QStringLiteral("x|a|b|c|d|1\\y|a|b|c|d|1")));
        deck.deal(t, 0, Rnd);
        for (int i = 0; i < 4; ++i) {
            const int q = deck.deal(other, 0, Rnd);
            QVERIFY(q == 0 || q == 1);
        }
    }

    void sourceRoundTripsByteForByte()
    {
        const QByteArray source =
            QStringLiteral("[1]\nВопрос «один»?|да|нет|может|никогда|1\n"
                           "Второй (с ё)?|a|b|c|d|4|заметка\n\n[2]\n\n[3]\nТретий|1|2|3|4|2\n")
                .toUtf8();
        const auto r = BankSource::Compile({{"a.txt", source}});
        QVERIFY(r.errors.isEmpty());
        QCOMPARE(BankSource::Dump(r.plain), source);
        const auto t = loaded(r.plain);
        QCOMPARE(t.count(0), qint16(2));
        QCOMPARE(t.count(1), qint16(-1));
        QCOMPARE(t(0, 6, 1), QStringLiteral("заметка"));
        // Two sources read as one.
        const auto two =
            BankSource::Compile({{"a", "[1]\nq|a|b|c|d|1\n"}, {"b", "[2]\nr|a|b|c|d|2\r\n"}});
        QVERIFY(two.errors.isEmpty());
        QCOMPARE(two.plain, QByteArray("q|a|b|c|d|1\\^r|a|b|c|d|2\\"));
    }

    void sourceErrorsNameTheLine()
    {
        const auto r = BankSource::Compile(
            {{"s.txt", QStringLiteral("x|y\n[2]\n[1]\nq\\w|a\n[17]\nq^|a\n").toUtf8()}});
        QCOMPARE(r.errors.size(), 4);
        QVERIFY(r.errors[0].startsWith("s.txt:1:1: question before"));
        QVERIFY(r.errors[1].startsWith("s.txt:2:2: level 1 is missing before level 2"));
        QVERIFY(r.errors[2].startsWith("s.txt:4:2: '\\' (U+005C) would split"));
        QVERIFY(r.errors[3].startsWith("s.txt:5:2: level 17 is not 1 to 16"));
    }

    // Everything build cannot store faithfully, each named by line and column.
    void sourceRefusals_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("error");
        QTest::newRow("blank after header") << "[2] "
                                            << "s:3:4: stray U+0020 (blank) in a level header";
        QTest::newRow("blanks in header") << "[ 2 ]"
                                          << "s:3:2: stray U+0020 (blank)";
        QTest::newRow("blank before header") << " [2]"
                                             << "s:3:1: stray U+0020 (blank)";
        QTest::newRow("letter in header") << "[2x]"
                                          << "s:3:3: stray 'x' (U+0078)";
        QTest::newRow("level 100") << "[100]"
                                   << "s:3:2: level 100 is not 1 to 16";
        QTest::newRow("level 0") << "[0]"
                                 << "s:3:2: level 0 is not 1 to 16";
        QTest::newRow("level skipped") << "[3]"
                                       << "s:3:2: level 2 is missing before level 3";
        QTest::newRow("level again") << "[1]"
                                     << "s:3:2: level 1 comes after level 1";
        QTest::newRow("five fields") << "Q|a|b|c|d"
                                     << "s:3:10: only 5 fields";
        QTest::newRow("eight fields") << "Q|a|b|c|d|1|n|x"
                                      << "s:3:14: 8 fields, at most 7";
        QTest::newRow("answer 5") << "Q|a|b|c|d|5"
                                  << "s:3:11: right answer \"5\" is not";
        QTest::newRow("answer blank 2") << "Q|a|b|c|d| 2"
                                        << "s:3:11: right answer \" 2\" is not";
        QTest::newRow("answer 2.0") << "Q|a|b|c|d|2.0"
                                    << "s:3:11: right answer \"2.0\"";
        QTest::newRow("no text") << "|a|b|c|d|1"
                                 << "s:3:1: empty question text";
        QTest::newRow("tab") << "Вопрос\t|a|b|c|d|1"
                             << "s:3:7: a tab (U+0009)";
        QTest::newRow("control") << "Q|a\x01|b|c|d|1"
                                 << "s:3:4: control character U+0001";
        QTest::newRow("lone CR") << "Q|a|b\r|c|d|1"
                                 << "s:3:6: a lone CR (U+000D)";
        QTest::newRow("caret") << "Q^|a|b|c|d|1"
                               << "s:3:2: '^' (U+005E) would split";
        QTest::newRow("no code") << "Ёж € ☺|a|b|c|d|1"
                                 << "s:3:6: '☺' (U+263A) has no Windows-1251";
        QTest::newRow("outside BMP") << "Ёж 😀|a|b|c|d|1"
                                     << "s:3:4: '😀' (U+1F600) has no";
    }
    void sourceRefusals()
    {
        QFETCH(QString, lines);
        QFETCH(QString, error);
        const QString source = "[1]\nQ|a|b|c|d|1\n" + lines + "\nЕщё|a|b|c|d|2\n";
        const auto r = BankSource::Compile({{"s", source.toUtf8()}});
        QVERIFY2(r.errors.size() == 1 && r.errors[0].startsWith(error),
                 qPrintable(r.errors.join('\n')));
    }

    void sourcesThatAreNotUtf8OrEmpty()
    {
        QByteArray cp1251 = "[1]\n" + cp(QStringLiteral("Вопрос|а|б|в|г|1\n"));
        auto r = BankSource::Compile({{"w.txt", cp1251}});
        QCOMPARE(r.errors.size(), 1);
        QVERIFY2(r.errors[0].startsWith("w.txt:2:1: not UTF-8; it looks like Windows-1251"),
                 qPrintable(r.errors[0]));
        const QString text = QStringLiteral("[1]\nВопрос|а|б|в|г|1\n");
        QByteArray utf16("\xFF\xFE");
        utf16 += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        r = BankSource::Compile({{"u.txt", utf16}});
        QCOMPARE(r.errors.size(), 1);
        QVERIFY(r.errors[0].contains("UTF-16"));
        r = BankSource::Compile(
            {{"a.txt", "[1]\nq|a|b|c|d|1\n"}, {"e.txt", ""}, {"b.txt", "\n \n"}});
        QCOMPARE(r.errors, (QStringList{"e.txt: empty source", "b.txt: empty source"}));
        // A UTF-8 byte order mark is no character of the bank.
        r = BankSource::Compile({{"m.txt", "\xEF\xBB\xBF[1]\nq|a|b|c|d|1\n"}});
        QVERIFY(r.errors.isEmpty());
        QCOMPARE(r.plain, QByteArray("q|a|b|c|d|1\\"));
    }

    // Topic files: each may add to levels already started, in the order given.
    void sourcesAddToTheSameLevel()
    {
        const auto r = BankSource::Compile({{"a", "[1]\na1|a|b|c|d|1\n[2]\na2|a|b|c|d|2\n"},
                                            {"b", "[1]\nb1|a|b|c|d|3\n[3]\nb3|a|b|c|d|4\n"},
                                            {"c", "[2]\nc2|a|b|c|d|1\n"}});
        QVERIFY2(r.errors.isEmpty(), qPrintable(r.errors.join('\n')));
        QCOMPARE(r.plain, QByteArray("a1|a|b|c|d|1\\b1|a|b|c|d|3\\^a2|a|b|c|d|2\\c2|a|b|c|d|1\\^"
                                     "b3|a|b|c|d|4\\"));
        // Within one file the levels still increase.
        const auto back = BankSource::Compile({{"a", "[1]\nq|a|b|c|d|1\n[2]\n[1]\n"}});
        QCOMPARE(back.errors, QStringList{"a:4:2: level 1 comes after level 2"});
    }

    void nearDuplicatesAcrossTheBank()
    {
        QCOMPARE(BankStats::Normalised(QStringLiteral("  Ёлка, «зимой» — ЗЕЛЁНАЯ?! ")),
                 QStringLiteral("елка зимой зеленая"));
        QCOMPARE(BankStats::Similarity("a b c d e", "e d c b a"), 1.0);
        QCOMPARE(BankStats::Similarity("a b c d", "a b c e"), 0.6);
        const auto t = loaded(cp(QStringLiteral(
            "Сколько ног у паука?|6|8|10|12|2\\Какой город — столица Франции?|a|b|c|d|1\\"
            "Сколько лап у кошки?|a|b|c|d|1^"
            "сколько НОГ у паука|a|b|c|d|3\\Какой город столица Франции сегодня?|a|b|c|d|1\\"
            "Какой город столица Италии?|a|b|c|d|1\\Сколько ног у паука?|a|b|c|d|0")));
        const auto d = BankStats::NearDuplicates(t);
        QCOMPARE(d.size(), std::size_t(2));
        QCOMPARE(std::tie(d[0].levelA, d[0].questionA, d[0].levelB, d[0].questionB),
                 std::make_tuple(0, 0, 1, 0));
        QCOMPARE(d[0].similarity, 1.0);
        QCOMPARE(std::tie(d[1].levelA, d[1].questionA, d[1].levelB, d[1].questionB),
                 std::make_tuple(0, 1, 1, 1));
        QVERIFY(d[1].similarity >= 0.8 && d[1].similarity < 1.0);
    }

    void csvRoundTripsAndNamesRows()
    {
        const QByteArray source =
            QStringLiteral("[1]\nВопрос, с запятой?|«да»|\"нет\"|может|никогда|1\n"
                           "Второй|a|b|c|d|4|заметка, с запятой\n\n[2]\nТретий| "
                           "пробел|2|3|4|2\n")
                .toUtf8();
        const auto built = BankSource::Compile({{"a.txt", source}});
        QVERIFY(built.errors.isEmpty());
        const QByteArray csv = BankCsv::Export(built.plain);
        QVERIFY2(
            csv.contains(
                QStringLiteral("1,\"Вопрос, с запятой?\",«да»,\"\"\"нет\"\"\",может").toUtf8()),
            csv.constData());
        const auto back = BankCsv::Import("q.csv", csv);
        QVERIFY2(back.errors.isEmpty(), qPrintable(back.errors.join('\n')));
        QCOMPARE(back.plain, built.plain);
        QCOMPARE(BankSource::Dump(back.plain), source);
        // A sheet saved with LF line ends and without the header row.
        const auto lf = BankCsv::Import("q.csv", "1,q,a,b,c,d,2\n1,r,a,b,c,d,3,\n2,s,a,b,c,d,1\n");
        QVERIFY(lf.errors.isEmpty());
        QCOMPARE(lf.plain, QByteArray("q|a|b|c|d|2\\r|a|b|c|d|3\\^s|a|b|c|d|1\\"));
        // Faults name the row of the sheet.
        auto bad = BankCsv::Import("q.csv", "level,question\r\n1,q,a,b,c,d,2\r\n1,q,a,b,c,d,7\r\n");
        QCOMPARE(bad.errors.size(), 1);
        QVERIFY2(bad.errors[0].startsWith("q.csv:3: right answer \"7\""),
                 qPrintable(bad.errors[0]));
        bad = BankCsv::Import("q.csv", "1,q,a,b,c,d\n1,\"q\nx\",a,b,c,d,1\n3,q,a,b,c,d,1\n");
        QCOMPARE(bad.errors.size(), 2);
        QVERIFY(bad.errors[0].startsWith("q.csv:1: 6 columns"));
        QVERIFY(bad.errors[1].startsWith("q.csv:2: a line break inside a cell"));
        bad = BankCsv::Import("q.csv", "1,q,a,b,c,d,1\n3,q,a,b,c,d,1\n");
        QCOMPARE(bad.errors, QStringList{"q.csv:2: level 2 is missing before level 3"});
    }

    void folderAndRandom()
    {
        QCOMPARE(WithTrailingSeparator("/games/quorvel"),
                 QDir::toNativeSeparators("/games/quorvel/"));
        QCOMPARE(WithTrailingSeparator("/"), QDir::toNativeSeparators("/"));
        QVERIFY(AppFolderPath().endsWith(QDir::separator()));

        QCOMPARE(SeedFromTime(QTime(0, 0)), 0u);
        QCOMPARE(SeedFromTime(QTime(23, 59, 59, 999)), 8639999u);
        QCOMPARE(SeedFromTime(QTime(12, 0, 0, 15)), 4320001u);
        Randomize(4321);
        std::vector<float> a(100), b(100);
        for (float& x : a)
            x = Rnd();
        Randomize(4321);
        for (float& x : b)
            x = Rnd();
        QCOMPARE(a, b);
        float top = 0;
        for (int i = 0; i < 200000; ++i) {
            const float r = Rnd();
            QVERIFY(r >= 0.0f && r < 1.0f);
            top = std::max(top, r);
        }
        QVERIFY(top > 0.999f);
    }
};

QTEST_GUILESS_MAIN(TestContent)
#include "test_content.moc"
