// SPDX-License-Identifier: GPL-3.0-or-later
// qvr: builds, dumps and checks question banks.
#include "base/TextFit.h"
#include "content/BankCsv.h"
#include "content/BankSource.h"
#include "content/BankStats.h"
#include "content/OpinSaving.h"
#include "content/QuestionBank.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>
#include <memory>

namespace
{

int usage()
{
    std::fputs("usage: qvr build SOURCE... -o questions.qvr\n"
               "       qvr dump questions.qvr\n"
               "       qvr check questions.qvr\n"
               "       qvr stats questions.qvr\n"
               "       qvr export --csv questions.qvr > questions.csv\n"
               "       qvr import --csv questions.csv -o questions.qvr\n",
               stderr);
    return 2;
}

void err(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

std::optional<QByteArray> readPlain(const QString& path)
{
    std::optional<QByteArray> bytes = ReadFileBytes(path);
    if (!bytes) {
        err(QStringLiteral("qvr: cannot read %1").arg(path));
        return std::nullopt;
    }
    return Bank::PlainTextFromFile(std::move(*bytes));
}

// The output never replaces one of the inputs, under whatever name.
bool outputIsNoInput(const QString& output, const QStringList& inputs)
{
    const QFileInfo target(output);
    if (!target.exists()) return true;
    for (const QString& input : inputs)
        if (target.canonicalFilePath() == QFileInfo(input).canonicalFilePath()) {
            err(QStringLiteral("qvr: %1 is one of the sources; it is not overwritten").arg(output));
            return false;
        }
    return true;
}

int writeBank(const QString& path, const QByteArray& plain)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(Bank::ScrambleBank(plain)) < 0 ||
        !out.commit()) {
        err(QStringLiteral("qvr: cannot write %1").arg(path));
        return 1;
    }
    return 0;
}

int build(const QStringList& args)
{
    const int o = args.indexOf(QStringLiteral("-o"));
    if (o < 1 || o + 1 != args.size() - 1) return usage();
    if (!outputIsNoInput(args[o + 1], args.mid(0, o))) return 1;
    QList<QPair<QString, QByteArray>> sources;
    for (int i = 0; i < o; ++i) {
        QFile f(args[i]);
        if (!f.open(QIODevice::ReadOnly)) {
            err(QStringLiteral("qvr: cannot read %1").arg(args[i]));
            return 1;
        }
        sources.append({args[i], f.readAll()});
    }
    const BankSource::Result result = BankSource::Compile(sources);
    for (const QString& e : result.errors)
        err(e);
    if (!result.errors.isEmpty()) return 1;
    return writeBank(args[o + 1], result.plain);
}

int importCsv(const QStringList& args)
{
    if (args.size() != 4 || args[0] != QLatin1String("--csv") || args[2] != QLatin1String("-o"))
        return usage();
    if (!outputIsNoInput(args[3], {args[1]})) return 1;
    QFile f(args[1]);
    if (!f.open(QIODevice::ReadOnly)) {
        err(QStringLiteral("qvr: cannot read %1").arg(args[1]));
        return 1;
    }
    const BankSource::Result result = BankCsv::Import(args[1], f.readAll());
    for (const QString& e : result.errors)
        err(e);
    if (!result.errors.isEmpty()) return 1;
    return writeBank(args[3], result.plain);
}

int exportCsv(const QStringList& args)
{
    if (args.size() != 2 || args[0] != QLatin1String("--csv")) return usage();
    const auto plain = readPlain(args[1]);
    if (!plain) return 1;
    const QByteArray csv = BankCsv::Export(*plain);
    if (std::fwrite(csv.constData(), 1, std::size_t(csv.size()), stdout) !=
            std::size_t(csv.size()) ||
        std::fflush(stdout) != 0) {
        err(QStringLiteral("qvr: cannot write the CSV"));
        return 1;
    }
    return 0;
}

int dump(const QString& path)
{
    const auto plain = readPlain(path);
    if (!plain) return 1;
    bool ok = true;
    BankSource::Dump(*plain, [&](const QByteArray& piece) {
        ok = ok && std::fwrite(piece.constData(), 1, std::size_t(piece.size()), stdout) ==
                       std::size_t(piece.size());
    });
    if (std::fflush(stdout) != 0 || !ok) {
        err(QStringLiteral("qvr: cannot write the source"));
        return 1;
    }
    return 0;
}

// What the window cannot show whole, as `check` and `stats` name it.
QString tooLongLine(const BankStats::TooLong& t)
{
    const double smallest = TextFit::kFontSteps.back();
    if (t.field == 0)
        return QStringLiteral("question %1: the text does not show whole even at %2 pt")
            .arg(t.question + 1)
            .arg(smallest);
    return QStringLiteral("question %1: answer %2 is wider than its button even at %3 pt")
        .arg(t.question + 1)
        .arg(t.field)
        .arg(smallest);
}

int check(const QString& path)
{
    auto plain = readPlain(path);
    if (!plain) return 1;
    Bank::CheckResult r = Bank::CheckBank(*plain);
    // The game plays these, but the player cannot read them whole.
    Bank::QuestionTable table;
    table.load(std::move(*plain));
    for (const BankStats::TooLong& t : BankStats::TooLongToShow(table))
        r.warnings << QStringLiteral("level %1, %2").arg(t.level + 1).arg(tooLongLine(t));
    for (const QString& f : r.errors)
        std::printf("error: %s\n", f.toUtf8().constData());
    for (const QString& f : r.warnings)
        std::printf("warning: %s\n", f.toUtf8().constData());
    if (r.errors.isEmpty() && r.warnings.isEmpty())
        std::printf("%s: clean\n", path.toUtf8().constData());
    else
        std::printf("%s: %lld errors, %lld warnings\n", path.toUtf8().constData(),
                    static_cast<long long>(r.errors.size()),
                    static_cast<long long>(r.warnings.size()));
    return r.errors.isEmpty() ? 0 : 1;
}

void print(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
}

int stats(const QString& path)
{
    auto plain = readPlain(path);
    if (!plain) return 1;
    Bank::QuestionTable table;
    table.load(std::move(*plain));
    const std::vector<BankStats::TooLong> tooLong = BankStats::TooLongToShow(table);
    for (int l = 0; l < Bank::kLevels && table.hasLevel(l); ++l) {
        const auto& playable = table.playable(l);
        int longQ = -1, longA = -1, longAField = 1;
        qsizetype qLen = -1, aLen = -1;
        for (int q : playable) {
            const QString text = table(l, 0, q);
            if (text.size() > qLen) qLen = text.size(), longQ = q;
            for (int f = 1; f <= 4; ++f) {
                const QString answer = table(l, f, q);
                if (answer.size() > aLen) aLen = answer.size(), longA = q, longAField = f;
            }
        }
        QString line = QStringLiteral("level %1: %2 playable").arg(l + 1).arg(playable.size());
        if (!playable.empty())
            line += QStringLiteral("; longest question %1 characters (question %2), longest "
                                   "answer %3 characters (question %4, answer %5)")
                        .arg(qLen)
                        .arg(longQ + 1)
                        .arg(aLen)
                        .arg(longA + 1)
                        .arg(longAField);
        print(line);
        for (const BankStats::TooLong& t : tooLong)
            if (t.level == l)
                print(QStringLiteral("  ") + tooLongLine(t) + QStringLiteral(": ") + t.text);
    }
    print(QStringLiteral("too long to fit: %1").arg(tooLong.size()));
    const auto dups = BankStats::NearDuplicates(table);
    for (const auto& d : dups)
        print(QStringLiteral("near-duplicate (%1): level %2, question %3 ~ level %4, question %5: "
                             "%6 ~ %7")
                  .arg(d.similarity, 0, 'f', 2)
                  .arg(d.levelA + 1)
                  .arg(d.questionA + 1)
                  .arg(d.levelB + 1)
                  .arg(d.questionB + 1)
                  .arg(table(d.levelA, 0, d.questionA), table(d.levelB, 0, d.questionB)));
    print(QStringLiteral("near-duplicates: %1").arg(dups.size()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Measuring text needs the fonts of a GUI application, but no display.
    const bool measures =
        argc > 1 && (qstrcmp(argv[1], "stats") == 0 || qstrcmp(argv[1], "check") == 0);
    if (measures && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = measures
                                                ? std::make_unique<QGuiApplication>(argc, argv)
                                                : std::make_unique<QCoreApplication>(argc, argv);
    QStringList args = app->arguments().mid(1);
    if (args.isEmpty()) return usage();
    const QString command = args.takeFirst();
    if (command == QLatin1String("build")) return build(args);
    if (command == QLatin1String("dump") && args.size() == 1) return dump(args[0]);
    if (command == QLatin1String("check") && args.size() == 1) return check(args[0]);
    if (command == QLatin1String("stats") && args.size() == 1) return stats(args[0]);
    if (command == QLatin1String("export")) return exportCsv(args);
    if (command == QLatin1String("import")) return importCsv(args);
    return usage();
}
