// SPDX-License-Identifier: GPL-3.0-or-later
// startup game GAME_DIR | startup bare
// Prints the milliseconds from the start of main() to the moment the game's
// information area is shown (or a bare window of the same size is), and the
// peak resident memory of the process.
#include "app/SubMain.h"
#include "app/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    QElapsedTimer clock;
    clock.start();
    if (argc < 2) return 2;
    const bool game = qstrcmp(argv[1], "game") == 0;
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> bare;
    if (game) {
        if (argc < 3) return 2;
        StartupOptions options;
        options.gameFolder = QString::fromLocal8Bit(argv[2]);
        options.instanceKey = QStringLiteral("Quorvel.Bench.%1").arg(getpid());
        if (!Main(options)) return 1;
    } else {
        bare = std::make_unique<QWidget>();
        bare->setFixedSize(1016, 704);
        bare->show();
    }
    QCoreApplication::processEvents();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.2f %.1f\n", ms, double(usage.ru_maxrss) / 1024.0);
    std::fflush(stdout);
    _exit(0);
}
