// SPDX-License-Identifier: GPL-3.0-or-later
// The game folder the build makes: bank, cues and help text as a player gets them.
#include "base/AppPath.h"
#include "content/Cp1251.h"
#include "content/OpinSaving.h"
#include "content/QuestionBank.h"
#include "sound/modMusic.h"

#include <QProcess>
#include <QtTest>

namespace
{
QString gameDir()
{
    return qEnvironmentVariable("QUORVEL_GAME_DIR");
}
QString tool(const char* name)
{
    return qEnvironmentVariable("QUORVEL_TOOLS_DIR") + "/" + name;
}

QString normalised(QString s)
{
    s = s.toLower().replace(u'ё', u'е');
    s.remove(QRegularExpression(QStringLiteral("[^\\w]"),
                                QRegularExpression::UseUnicodePropertiesOption));
    return s;
}
} // namespace

class TestShipped : public QObject
{
    Q_OBJECT
    Bank::QuestionTable bank;

  private slots:
    void initTestCase()
    {
        const auto bytes = ReadFileBytes(gameDir() + "/questions.qvr");
        QVERIFY(bytes);
        bank.load(Bank::PlainTextFromFile(*bytes));
    }

    void bankToolFindsNoFault()
    {
        QProcess p;
        p.start(tool("qvr"), {"check", gameDir() + "/questions.qvr"});
        QVERIFY(p.waitForFinished(60000));
        const QByteArray out = p.readAllStandardOutput();
        QVERIFY2(p.exitCode() == 0, out.constData());
        // Every text shows whole on the window, at some font step.
        QVERIFY2(!out.contains("does not show whole") && !out.contains("wider than its button"),
                 out.constData());
        p.start(tool("qvr"), {"stats", gameDir() + "/questions.qvr"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains("\ntoo long to fit: 0\n"));
    }

    void everyLevelHasEnoughQuestions()
    {
        for (int level = 0; level < 15; ++level) {
            const int n = int(bank.playable(level).size());
            QVERIFY2(n >= 40, qPrintable(QStringLiteral("level %1: %2").arg(level + 1).arg(n)));
            // Every question of the bank is reachable: the level ends with "\".
            QCOMPARE(int(bank.count(level)), n);
        }
        QVERIFY(!bank.hasLevel(15));
    }

    void noQuestionIsAskedTwice()
    {
        QHash<QString, QString> seen;
        QStringList repeats;
        for (int level = 0; level < 15; ++level)
            for (int q : bank.playable(level)) {
                const QString text = bank(level, 0, q);
                const QString key = normalised(text);
                const QString where = QStringLiteral("%1.%2").arg(level + 1).arg(q + 1);
                if (seen.contains(key)) repeats << seen[key] + " = " + where + ": " + text;
                seen.insert(key, where);
                QVERIFY2(text.size() <= 150, qPrintable(text));
                for (int a = 1; a <= 4; ++a)
                    QVERIFY2(bank(level, a, q).size() <= 30, qPrintable(bank(level, a, q)));
            }
        QVERIFY2(repeats.isEmpty(), qPrintable(repeats.join('\n')));
    }

    void cuesHaveTheirLengths_data()
    {
        QTest::addColumn<int>("file");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QFile table(qEnvironmentVariable("QUORVEL_CUE_LENGTHS"));
        QVERIFY(table.open(QIODevice::ReadOnly | QIODevice::Text));
        int rows = 0;
        while (!table.atEnd()) {
            const QStringList row = QString::fromUtf8(table.readLine()).simplified().split(' ');
            if (row.size() != 3 || row[0].startsWith('#') || !row[0].endsWith(".mid")) continue;
            QTest::addRow("%s", qPrintable(row[0]))
                << row[0].chopped(4).toInt() << row[1].toDouble() << row[2].toDouble();
            ++rows;
        }
        QVERIFY(rows == 15);
    }
    void cuesHaveTheirLengths()
    {
        QFETCH(int, file);
        QFETCH(double, low);
        QFETCH(double, high);
        QProcess p;
        p.start(tool("midigen"),
                {"--length", QStringLiteral("%1/sounds/%2.mid").arg(gameDir()).arg(file)});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const double seconds = p.readAllStandardOutput().trimmed().toDouble();
        QVERIFY2(seconds >= low && seconds <= high, qPrintable(QString::number(seconds)));
    }

    void loadingTuneIsAPlayableMp3()
    {
        QVERIFY(!QFile::exists(gameDir() + "/sounds/14.mid"));
        const double seconds = MediaDuration(gameDir() + "/sounds/14.mp3");
        QVERIFY2(seconds >= 4 && seconds <= 8, qPrintable(QString::number(seconds)));
    }

    void helpTextIsWindows1251WithCrLf()
    {
        QFile f(gameDir() + "/ReadMe.txt");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.size() > 2000);
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QCOMPARE(bytes.count('\r'), bytes.count("\r\n"));
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
        const QString text = ReadTextFile(gameDir() + "/ReadMe.txt");
        for (const char* must : {"F1", "F12", "Alt+A", "50 на 50", "Референдум", "Магистры", "qvr",
                                 "2 000 000", "64 000"})
            QVERIFY2(text.contains(QString::fromUtf8(must)), must);
    }
};

QTEST_GUILESS_MAIN(TestShipped)
#include "test_shipped.moc"
