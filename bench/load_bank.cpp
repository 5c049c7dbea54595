// SPDX-License-Identifier: GPL-3.0-or-later
// load_bank make DIR  - writes a maximal questions.qvr (16 x 32 768 x 7 fields of ~40 characters)
// load_bank load DIR  - loads DIR/questions.qvr as start-up does; prints ms, peak RSS in MB and
//                       the longest time the event loop went without a turn
// load_bank gaps DIR  - loads it reporting every piece of work; prints per step the longest
//                       work between two reports (what the event loop may wait beyond its 10 ms)
//                       and the step's whole time
#include "MaximalBank.h"
#include "base/AppPath.h"
#include "content/Cp1251.h"
#include "content/LoadingData.h"
#include "content/QuestionBank.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <map>
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
    if (qstrcmp(argv[1], "gaps") == 0) {
        const char* const names[] = {"reading", "descrambling", "splitting"};
        std::map<LoadStep, double> longest, total;
        std::map<LoadStep, int> pieces;
        clock.start();
        const BankStatus status = LoadingData::LoadQuestions([&](LoadStep step) {
            const double ms = double(clock.nsecsElapsed()) / 1e6;
            longest[step] = std::max(longest[step], ms);
            total[step] += ms;
            ++pieces[step];
            clock.restart();
        });
        std::printf("status %d; longest work between reports:", int(status));
        for (const auto& [step, ms] : longest)
            std::printf(" %s %.1f ms (%d pieces, %.0f ms in all)", names[int(step)], ms,
                        pieces[step], total[step]);
        std::printf("\n");
        return 0;
    }
    // A zero timer fires at every turn the loader gives the event loop.
    QTimer turn;
    double longestWithoutTurn = 0;
    QElapsedTimer sinceTurn;
    QObject::connect(&turn, &QTimer::timeout, [&] {
        longestWithoutTurn = std::max(longestWithoutTurn, double(sinceTurn.nsecsElapsed()) / 1e6);
        sinceTurn.restart();
    });
    turn.start(0);
    clock.start();
    sinceTurn.start();
    const BankStatus status = LoadingData::LoadQuestions();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    longestWithoutTurn = std::max(longestWithoutTurn, double(sinceTurn.nsecsElapsed()) / 1e6);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "status %d, %.1f ms, peak RSS %.1f MB, longest without an event-loop turn %.1f ms\n",
        int(status), ms, double(usage.ru_maxrss) / 1024.0, longestWithoutTurn);
    return 0;
}
