// SPDX-License-Identifier: GPL-3.0-or-later
// qvr: builds, dumps and checks question banks.
#include "content/BankSource.h"
#include "content/OpinSaving.h"
#include "content/QuestionBank.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>

namespace
{

int usage()
{
    std::fputs("usage: qvr build SOURCE... -o questions.qvr\n"
               "       qvr dump questions.qvr\n"
               "       qvr check questions.qvr\n",
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

int build(const QStringList& args)
{
    const int o = args.indexOf(QStringLiteral("-o"));
    if (o < 1 || o + 1 != args.size() - 1) return usage();
    const QFileInfo target(args[o + 1]);
    for (int i = 0; i < o; ++i) {
        const QFileInfo in(args[i]);
        if (target.exists() && (target.canonicalFilePath() == in.canonicalFilePath())) {
            err(QStringLiteral("qvr: %1 is one of the sources; it is not overwritten")
                    .arg(args[o + 1]));
            return 1;
        }
    }
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
    QSaveFile out(args[o + 1]);
    if (!out.open(QIODevice::WriteOnly) || out.write(Bank::ScrambleBank(result.plain)) < 0 ||
        !out.commit()) {
        err(QStringLiteral("qvr: cannot write %1").arg(args[o + 1]));
        return 1;
    }
    return 0;
}

int dump(const QString& path)
{
    const auto plain = readPlain(path);
    if (!plain) return 1;
    const QByteArray source = BankSource::Dump(*plain);
    std::fwrite(source.constData(), 1, std::size_t(source.size()), stdout);
    return 0;
}

int check(const QString& path)
{
    const auto plain = readPlain(path);
    if (!plain) return 1;
    const Bank::CheckResult r = Bank::CheckBank(*plain);
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) return usage();
    const QString command = args.takeFirst();
    if (command == QLatin1String("build")) return build(args);
    if (command == QLatin1String("dump") && args.size() == 1) return dump(args[0]);
    if (command == QLatin1String("check") && args.size() == 1) return check(args[0]);
    return usage();
}
