// SPDX-License-Identifier: GPL-3.0-or-later
// load_bank make DIR  - writes a maximal questions.qvr (16 x 32 768 x 7 fields of ~40 characters)
// load_bank load DIR  - loads DIR/questions.qvr as start-up does; prints ms and peak RSS in MB
#include "MaximalBank.h"
#include "base/AppPath.h"
#include "content/Cp1251.h"
#include "content/LoadingData.h"
#include "content/QuestionBank.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    const QString dir = QString::fromLocal8Bit(argv[2]);
    if (qstrcmp(argv[1], "make") == 0) {
        const QByteArray text = MaximalPlainBank();
        QFile out(dir + "/questions.qvr");
        if (!out.open(QIODevice::WriteOnly)) return 1;
        out.write(Bank::ScrambleBank(text));
        std::printf("%.1f MB\n", double(out.size()) / 1e6);
        return 0;
    }
    AppPath = dir + QDir::separator();
    QElapsedTimer clock;
    clock.start();
    const BankStatus status = LoadingData::LoadQuestions();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("status %d, %.1f ms, peak RSS %.1f MB\n", int(status), ms,
                double(usage.ru_maxrss) / 1024.0);
    return 0;
}
