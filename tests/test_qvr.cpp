// SPDX-License-Identifier: GPL-3.0-or-later
// The bank tool as an author uses it, and the single-instance guard.
#include "TestSupport.h"
#include "app/SingleInstance.h"
#include "content/Cp1251.h"
#include "content/OpinSaving.h"
#include "content/QuestionBank.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
struct Run {
    int code;
    QByteArray out, err;
};
Run qvr(const QStringList& args)
{
    QProcess p;
    p.start(qEnvironmentVariable("QUORVEL_TOOLS_DIR") + "/qvr", args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}
QByteArray handBank()
{
    QByteArray s;
    for (int l = 1; l <= 15; ++l) {
        if (l > 1) s += "\n";
        s += QStringLiteral("[%1]\nСколько будет %1 + %1?|%2|%3|%4|%5|1\nЁлка "
                            "(зимой)?|да|нет|иногда|никогда|%6\n")
                 .arg(l)
                 .arg(2 * l)
                 .arg(2 * l + 1)
                 .arg(2 * l + 2)
                 .arg(2 * l + 3)
                 .arg(l % 4 + 1)
                 .toUtf8();
    }
    return s;
}

// handBank() with two questions opening level 2: the first too long for the
// question box at every font step, with a first answer too wide for any button
// at every step; the second fits only a few steps smaller, text and answer.
const QString kTooLong = QStringLiteral("Очень длинный вопрос ").repeated(40) + "?";
const QString kTooWide =
    QStringLiteral("Ответ заметно шире, чем кнопка ответа в окне игры, даже мелким шрифтом");
const QString kLongText = QStringLiteral("Длинный вопрос ").repeated(16) + "?";
const QString kLongAnswer = QStringLiteral("Ответ шире кнопки в полный размер шрифта");
QByteArray bankWithLongTexts()
{
    return handBank().replace(QStringLiteral("[2]\n").toUtf8(),
                              ("[2]\n" + kTooLong + "|" + kTooWide + "|b|c|d|1\n" + kLongText +
                               "|" + kLongAnswer + "|b|c|d|2\nСколько будет 1 + 1 ?|a|b|c|d|2\n")
                                  .toUtf8());
}
// Writes `source` beside the bank and builds it; the bank's path, or empty when
// the build fails.
QString builtBank(const QTemporaryDir& dir, const QByteArray& source)
{
    const QString src = dir.filePath("bank.txt"), bank = dir.filePath("questions.qvr");
    if (!TestSupport::WriteFile(src, source) || qvr({"build", src, "-o", bank}).code != 0)
        return {};
    return bank;
}
} // namespace

class TestQvr : public QObject
{
    Q_OBJECT
  private slots:
    void buildDumpCheckRoundTrip()
    {
        QTemporaryDir dir;
        const QString bank = builtBank(dir, handBank());
        QVERIFY(!bank.isEmpty());
        const Run dump = qvr({"dump", bank});
        QCOMPARE(dump.code, 0);
        QCOMPARE(dump.out, handBank());
        const Run check = qvr({"check", bank});
        QCOMPARE(check.code, 0);
        QVERIFY(check.out.contains("clean"));
        // The file is scrambled: no question text can be read in it.
        QFile f(bank);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(!f.readAll().contains(QStringLiteral("Сколько").toLocal8Bit()));
    }

    void checkListsFaultsAndFails()
    {
        QTemporaryDir dir;
        QByteArray s = handBank();
        s.replace(QStringLiteral("иногда").toUtf8(), QByteArray("да")); // equal answers
        const QString bank = builtBank(dir, s);
        QVERIFY(!bank.isEmpty());
        // build refuses a bad field 5, so it goes into the bank file directly.
        QByteArray plain = Bank::PlainTextFromFile(*ReadFileBytes(bank));
        const QByteArray first = Cp1251::encode(QStringLiteral("|1\\Ёлка"));
        QVERIFY(plain.startsWith(Cp1251::encode(QStringLiteral("Сколько"))) &&
                plain.contains(first));
        plain.replace(plain.indexOf(first), first.size(),
                      Cp1251::encode(QStringLiteral("|5\\Ёлка")));
        QVERIFY(TestSupport::WriteFile(bank, Bank::ScrambleBank(plain)));
        const Run check = qvr({"check", bank});
        QCOMPARE(check.code, 1);
        const QString out = QString::fromUtf8(check.out);
        QVERIFY(out.contains("error: level 1, question 1: field 5 \"5\" is not a number 1 to 4"));
        QVERIFY(out.contains("warning: level 15, question 2: answers 1 and 3 are equal"));
        QVERIFY(out.contains(": 1 errors, 15 warnings"));
        QCOMPARE(out.count('\n'), 17);
    }

    // A bank the game plays in full passes, with warnings for what to mend.
    // What the window cannot show whole even at its smallest font is a warning
    // each; what a smaller font still shows whole is none.
    void checkWarnsOfTextsTooLongToShow()
    {
        QTemporaryDir dir;
        const QString bank = builtBank(dir, bankWithLongTexts());
        QVERIFY(!bank.isEmpty());
        const Run check = qvr({"check", bank});
        QCOMPARE(check.code, 0);
        const QString out = QString::fromUtf8(check.out);
        QVERIFY2(out.contains("warning: level 2, question 1: the text does not show whole even "
                              "at 9.75 pt\n"),
                 qPrintable(out));
        QVERIFY(out.contains("warning: level 2, question 1: answer 1 is wider than its button "
                             "even at 9.75 pt\n"));
        QVERIFY(!out.contains("question 2:"));
        QVERIFY(out.contains(": 0 errors, 2 warnings\n"));
        QCOMPARE(out.count('\n'), 3);
    }

    void checkPassesWhatTheGamePlays()
    {
        QTemporaryDir dir;
        const QString bank = dir.filePath("questions.qvr");
        QByteArray plain = TestSupport::MakePlainBank(2);
        // Question 1 of every level has the right answer 2; write it three other ways.
        const QByteArray q = Cp1251::encode(QStringLiteral("Ответ 2.1.4|2\\"));
        QVERIFY(plain.contains(q));
        plain.replace(q, Cp1251::encode(QStringLiteral("Ответ 2.1.4| 2\\")));
        plain.replace(Cp1251::encode(QStringLiteral("Ответ 3.1.4|2\\")),
                      Cp1251::encode(QStringLiteral("Ответ 3.1.4|02\\")));
        plain.replace(Cp1251::encode(QStringLiteral("Ответ 4.1.4|2\\")),
                      Cp1251::encode(QStringLiteral("Ответ 4.1.4|2.0\\")));
        plain.replace(Cp1251::encode(QStringLiteral("Вопрос 5.0|")), "   |");
        QVERIFY(TestSupport::WriteFile(bank, TestSupport::MakeBankFile(plain)));
        Run check = qvr({"check", bank});
        QCOMPARE(check.code, 0);
        const QString out = QString::fromUtf8(check.out);
        QVERIFY2(out.contains("warning: level 2, question 2: field 5 \" 2\" is read as 2"),
                 qPrintable(out));
        QVERIFY(out.contains("warning: level 3, question 2: field 5 \"02\""));
        QVERIFY(out.contains("warning: level 4, question 2: field 5 \"2.0\""));
        QVERIFY(out.contains("warning: level 5, question 1: question text is only blanks"));
        QVERIFY(out.contains(": 0 errors, 4 warnings"));
        // What the game cannot play fails the check.
        plain.replace(Cp1251::encode(QStringLiteral("Ответ 6.1.4|2\\")),
                      Cp1251::encode(QStringLiteral("Ответ 6.1.4|x\\")));
        QVERIFY(TestSupport::WriteFile(bank, TestSupport::MakeBankFile(plain)));
        check = qvr({"check", bank});
        QCOMPARE(check.code, 1);
        QVERIFY(check.out.contains("error: level 6, question 2: field 5 \"x\""));
    }

    void buildRefusesFaithlessSources()
    {
        QTemporaryDir dir;
        const QString src = dir.filePath("bank.txt"), bank = dir.filePath("questions.qvr");
        QVERIFY(TestSupport::WriteFile(src, handBank().replace("[3]", "[3] ")));
        Run build = qvr({"build", src, "-o", bank});
        QCOMPARE(build.code, 1);
        QVERIFY2(build.err.contains("bank.txt:9:4: stray U+0020 (blank) in a level header"),
                 build.err.constData());
        QVERIFY(!QFile::exists(bank));
        // -o naming a source leaves it alone.
        QVERIFY(TestSupport::WriteFile(src, handBank()));
        build = qvr({"build", src, "-o", src});
        QCOMPARE(build.code, 1);
        QVERIFY(build.err.contains("one of the sources"));
        QCOMPARE(*ReadFileBytes(src), handBank());
        QDir::setCurrent(dir.path());
        QCOMPARE(qvr({"build", src, "-o", "./bank.txt"}).code, 1);
        QCOMPARE(*ReadFileBytes(src), handBank());
    }

    void badInputIsRefused()
    {
        QTemporaryDir dir;
        const QString src = dir.filePath("bank.txt"), bank = dir.filePath("questions.qvr");
        QVERIFY(TestSupport::WriteFile(src, "[1]\nвопрос\\с косой|a|b|c|d|1\n"));
        const Run build = qvr({"build", src, "-o", bank});
        QCOMPARE(build.code, 1);
        QVERIFY(build.err.contains("bank.txt:2:"));
        QVERIFY(!QFile::exists(bank));
        QCOMPARE(qvr({"check", dir.filePath("none.qvr")}).code, 1);
        QCOMPARE(qvr({"check", dir.path()}).code, 1);
        QCOMPARE(qvr({"frobnicate"}).code, 2);
        QCOMPARE(qvr({"build", src}).code, 2);
        // Random bytes: a clear verdict, no crash.
        QByteArray junk(100000, Qt::Uninitialized);
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919) % 251);
        QVERIFY(TestSupport::WriteFile(bank, junk));
        QCOMPARE(qvr({"check", bank}).code, 1);
        QCOMPARE(qvr({"dump", bank}).code, 0);
    }

    // Counts, longest texts, what does not fit the window and near-duplicates.
    void statsOfABank()
    {
        QTemporaryDir dir;
        const QString bank = builtBank(dir, bankWithLongTexts());
        QVERIFY(!bank.isEmpty());
        const Run stats = qvr({"stats", bank});
        QCOMPARE(stats.code, 0);
        const QString out = QString::fromUtf8(stats.out);
        QVERIFY2(out.contains("level 1: 2 playable; longest question 20 characters (question 1)"),
                 qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("level 2: 5 playable; longest question %1 characters "
                                            "(question 1), longest answer %2 characters (question "
                                            "1, answer 1)")
                                 .arg(kTooLong.size())
                                 .arg(kTooWide.size())));
        QVERIFY(out.contains(
            "  question 1: the text does not show whole even at 9.75 pt: " + kTooLong + "\n"));
        QVERIFY(out.contains(
            "  question 1: answer 1 is wider than its button even at 9.75 pt: " + kTooWide + "\n"));
        QVERIFY(!out.contains("  question 2:"));
        QVERIFY(out.contains("too long to fit: 2\n"));
        QVERIFY(out.contains("near-duplicate (1.00): level 1, question 1 ~ level 2, question 3"));
        // and "Ёлка (зимой)?" on every level: 15 * 14 / 2 pairs more.
        QVERIFY(out.contains("near-duplicates: 106\n"));
    }

    void csvExportImportRoundTrip()
    {
        QTemporaryDir dir;
        const QString bank = builtBank(dir, handBank());
        QVERIFY(!bank.isEmpty());
        const QString csv = dir.filePath("bank.csv"), again = dir.filePath("again.qvr");
        const Run exported = qvr({"export", "--csv", bank});
        QCOMPARE(exported.code, 0);
        QCOMPARE(exported.out.count('\n'), 31);
        QVERIFY(TestSupport::WriteFile(csv, exported.out));
        QCOMPARE(qvr({"import", "--csv", csv, "-o", again}).code, 0);
        QCOMPARE(*ReadFileBytes(again), *ReadFileBytes(bank));
        QCOMPARE(qvr({"dump", again}).out, handBank());
        QCOMPARE(qvr({"import", "--csv", csv, "-o", csv}).code, 1);
        QCOMPARE(*ReadFileBytes(csv), exported.out);
        QCOMPARE(qvr({"export", bank}).code, 2);
    }

    void secondInstanceIsRefusedWithoutFiles()
    {
        const QString key =
            QStringLiteral("Quorvel.Test.%1").arg(QCoreApplication::applicationPid());
        const QStringList before = QDir::temp().entryList(QDir::System | QDir::Files);
        {
            SingleInstance first(key);
            QVERIFY(!first.anotherIsRunning());
            SingleInstance second(key);
            QVERIFY(second.anotherIsRunning());
#if defined(Q_OS_LINUX)
            QCOMPARE(QDir::temp().entryList(QDir::System | QDir::Files), before);
#endif
        }
        SingleInstance again(key);
        QVERIFY(!again.anotherIsRunning());
    }
};

QTEST_GUILESS_MAIN(TestQvr)
#include "test_qvr.moc"
