// SPDX-License-Identifier: GPL-3.0-or-later
// The question file: code page, scrambling, reading, loading, ladder.
#include "TestSupport.h"
#include "base/AllCorrector.h"
#include "base/Random.h"
#include "base/AppPath.h"
#include "content/BankSource.h"
#include "content/CodirText.h"
#include "content/Cp1251.h"
#include "content/LoadingData.h"
#include "content/OpinSaving.h"
#include "content/QuestionBank.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

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
        QVERIFY(Bank::CheckBank(MakePlainBank(1)).isEmpty());
        QByteArray plain = MakePlainBank(1);
        plain.replace(cp(QStringLiteral("Вопрос 3.0|")), "|");
        plain.replace(cp(QStringLiteral("|Ответ 4.0.2|")), cp(QStringLiteral("|Ответ 4.0.1|")));
        plain.replace(cp(QStringLiteral("Ответ 7.0.4|1\\")), cp(QStringLiteral("Ответ 7.0.4|9\\")));
        plain.replace(cp(QStringLiteral("|Ответ 8.0.3|")), "||");
        plain += "^^x";
        const QStringList faults = Bank::CheckBank(plain);
        auto has = [&](const char* text) {
            return std::any_of(faults.begin(), faults.end(),
                               [&](const QString& f) { return f.contains(QLatin1String(text)); });
        };
        QVERIFY2(has("level 3, question 1: empty question text"), qPrintable(faults.join('\n')));
        QVERIFY(has("level 3: no playable question"));
        QVERIFY(has("level 4, question 1: answers 1 and 2 are equal"));
        QVERIFY(has("level 7, question 1: field 5 \"9\" is not a number 1 to 4"));
        QVERIFY(has("level 8, question 1: answer 3 is empty"));
        QVERIFY(has("level 17, question 1: only 1 fields"));
        QVERIFY(has("the bank has 17 levels"));
        QVERIFY(Bank::CheckBank(QByteArray()).contains(QStringLiteral("level 1: missing")));
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
            {{"s.txt", QStringLiteral("x|y\n[2]\n[1]\nq\\w|a\n[17]\nq^|a\nсмайл ☺|a\n").toUtf8()}});
        QCOMPARE(r.errors.size(), 6);
        QVERIFY(r.errors[0].startsWith("s.txt:1: question before"));
        QVERIFY(r.errors[1].startsWith("s.txt:3: level 1 comes after level 2"));
        QVERIFY(r.errors[2].startsWith("s.txt:4: "));
        QVERIFY(r.errors[3].startsWith("s.txt:5: level 17"));
        QVERIFY(r.errors[5].contains("Windows-1251"));
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
