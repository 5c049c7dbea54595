// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-process measurements of the sound engine on a clocked recording output:
// CPU while music loops and while an effect is waited for, the latency from a
// command to the first audible sample, the silence at the loop point of a
// looping track, the cost of a notification on the user-interface thread, and
// the memory taken. bench/sound-pulse.sh measures the same through PulseAudio.
//
//   bench_sound            runs every measurement, each in a process of its own
//   bench_sound open|latency|wait   one of them
//   bench_sound loop [track]        music looping for 20 s
#include "sound/QVRPlayFiles.h"
#include "sound/modMusic.h"
#include "tests/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// VmRSS or VmHWM of this process in MiB.
double memoryMiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ')[0].toDouble() / 1024.0;
    return -1;
}

void report(const char* name, double value, const char* unit, const char* goal = "")
{
    std::printf("%-34s %10.2f %-6s %s\n", name, value, unit, goal);
    std::fflush(stdout);
}

void waitFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(qint64(seconds * 1000)), &loop, &QEventLoop::quit);
    loop.exec();
}

std::shared_ptr<RecordingOutput> recordClocked(double keepSeconds)
{
    auto output = std::make_shared<RecordingOutput>(SoundOutput::Pacing::Clock, keepSeconds);
    SetSoundOutput(output);
    return output;
}

// The main window's hidden box, timed.
class Receiver : public QObject
{
  public:
    int events = 0;
    double totalMs = 0, worstMs = 0;
    bool event(QEvent* e) override
    {
        if (e->type() != PlaybackEventType) return QObject::event(e);
        QElapsedTimer t;
        t.start();
        KeepMusicLooping();
        const double ms = double(t.nsecsElapsed()) / 1e6;
        ++events;
        totalMs += ms;
        worstMs = std::max(worstMs, ms);
        return true;
    }
};

// A short made-up track restarts often; a game track shows what its music costs.
int benchLoop(const QTemporaryDir& dir, QString track)
{
    if (track.isEmpty()) {
        track = dir.filePath(QStringLiteral("loop.mid"));
        TestSupport::WriteFile(track, TestSupport::MakeMidi(1.8, 60, 0.2));
    }
    std::printf("loop: %s\n", qPrintable(QFileInfo(track).fileName()));
    const double seconds = 20;
    auto out = recordClocked(seconds + 5);
    Receiver box;
    const std::int64_t mark = out->framesSeen();
    if (!OpenMusic(track, &box)) return 1;
    const double length = MusicStopTime();
    const double cpu0 = cpuSeconds();
    waitFor(seconds);
    const double cpu = cpuSeconds() - cpu0;
    const double rss = memoryMiB("VmRSS:");
    StopMusic();
    const std::vector<float> heard = out->samplesFrom(mark);
    const std::int64_t start = TestSupport::FirstAudible(heard);
    const auto pass = std::int64_t(std::llround(length * SoundRate));
    // The silence that the file itself has around its end and its start, against the
    // silence around each loop point.
    std::int64_t fileSilence = 0, worst = 0;
    int loops = 0;
    if (start >= 0) {
        fileSilence = std::max(
            TestSupport::LongestSilence(heard, start + pass - SoundRate / 10, start + pass),
            TestSupport::LongestSilence(heard, start, start + SoundRate / 10));
        for (std::int64_t at = start + pass; at + SoundRate / 10 < std::int64_t(heard.size() / 2);
             at += pass, ++loops)
            worst = std::max(worst, TestSupport::LongestSilence(heard, at - SoundRate / 10,
                                                                at + SoundRate / 10));
    }
    report("loop: CPU, % of one core", 100 * cpu / seconds, "%", "(goal < 3)");
    report("loop: loop points heard", double(loops), "");
    report("loop: longest silence at a loop point", 1000.0 * double(worst) / SoundRate, "ms",
           "(goal: no more than in the file + 2)");
    report("loop: longest silence in the file there", 1000.0 * double(fileSilence) / SoundRate,
           "ms");
    report("loop: notifications", double(box.events), "");
    if (box.events) {
        report("loop: notification mean", box.totalMs / box.events, "ms");
        report("loop: notification worst", box.worstMs, "ms");
    }
    report("loop: memory, soundfont loaded", rss, "MiB", "(goal < 80)");
    report("loop: memory, peak", memoryMiB("VmHWM:"), "MiB");
    return 0;
}

int benchWait(const QTemporaryDir& dir)
{
    const QString effect = dir.filePath(QStringLiteral("effect.mid"));
    TestSupport::WriteFile(effect, TestSupport::MakeMidi(3.0, 76));
    SoundFiles[0] = effect;
    MusicOff = 0;
    // The first opening loads the plug-ins; the measurement is of a game in progress.
    if (!OpenMusic(effect, nullptr)) return 1;
    StopMusic();
    // The wait alone, then the whole command with the opening of the file.
    if (!OpenMusic(effect, nullptr)) return 1;
    double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    WaitForMusicEnd();
    double seconds = double(wall.nsecsElapsed()) / 1e9;
    report("wait: effect length", seconds, "s");
    report("wait: CPU, % of one core", 100 * (cpuSeconds() - cpu0) / seconds, "%", "(goal < 5)");
    cpu0 = cpuSeconds();
    wall.restart();
    PlayEffect(0);
    seconds = double(wall.nsecsElapsed()) / 1e9;
    report("PlayEffect: CPU, % of one core", 100 * (cpuSeconds() - cpu0) / seconds, "%");

    MusicOff = -1;
    const double off0 = cpuSeconds();
    wall.restart();
    PlayEffect(0);
    const double offSeconds = double(wall.nsecsElapsed()) / 1e9;
    report("music off: pause", offSeconds, "s");
    report("music off: CPU, % of one core", 100 * (cpuSeconds() - off0) / offSeconds, "%");
    return 0;
}

int benchLatency(const QTemporaryDir& dir)
{
    const QString effect = dir.filePath(QStringLiteral("effect.mid"));
    const QString music = dir.filePath(QStringLiteral("music.mid"));
    TestSupport::WriteFile(effect, TestSupport::MakeMidi(0.3, 76));
    TestSupport::WriteFile(music, TestSupport::MakeMidi(5.0, 60));
    SoundFiles[0] = effect;
    MusicOff = 0;
    auto out = recordClocked(10);

    std::vector<double> latencies, commands;
    const int rounds = 25;
    for (int i = 0; i < rounds; ++i) {
        if (!OpenMusic(music, nullptr)) return 1; // an effect interrupts music in the game
        waitFor(0.1);
        StopMusic();
        waitFor(0.02);
        const std::int64_t mark = out->framesSeen();
        const Clock::time_point start = Clock::now();
        if (!OpenMusic(effect, nullptr)) return 1;
        commands.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        // Sound is rendered in real time: the first audible sample, counted from the command.
        std::int64_t first = -1;
        while (first < 0 && Clock::now() - start < std::chrono::seconds(1)) {
            waitFor(0.005);
            first = TestSupport::FirstAudible(out->samplesFrom(mark));
        }
        if (first >= 0) latencies.push_back(1000.0 * double(first) / SoundRate);
        WaitForMusicEnd();
    }
    if (latencies.empty()) return 1;
    std::sort(latencies.begin(), latencies.end());
    std::sort(commands.begin(), commands.end());
    report("effect: command to first sample, median", latencies[latencies.size() / 2], "ms",
           "(rendering only; bench/sound-pulse.sh adds the device)");
    report("effect: command to first sample, worst", latencies.back(), "ms");
    report("effect: OpenMusic call, median", commands[commands.size() / 2], "ms");
    report("effect: OpenMusic call, worst", commands.back(), "ms");
    return 0;
}

// What deciding "renderable" costs: opening each kind of file, run to PAUSED.
int benchOpen(const QTemporaryDir& dir)
{
    const QString midi = dir.filePath(QStringLiteral("a.mid"));
    const QString mp3 = dir.filePath(QStringLiteral("a.mp3"));
    const QString junk = dir.filePath(QStringLiteral("junk.mid"));
    TestSupport::WriteFile(midi, TestSupport::MakeMidi(1.0));
    TestSupport::WriteFile(mp3, TestSupport::MakeMp3(1.0));
    TestSupport::WriteFile(junk, QByteArray("no sound here\n").repeated(30));
    struct Case {
        const char* name;
        QString path;
    };
    for (const Case& c :
         {Case{"open: MIDI", midi}, Case{"open: MP3", mp3}, Case{"open: unplayable file", junk},
          Case{"open: missing file", dir.filePath(QStringLiteral("none.mid"))}}) {
        std::vector<double> ms;
        for (int i = 0; i < 11; ++i) {
            QElapsedTimer t;
            t.start();
            OpenMusic(c.path, nullptr);
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
            StopMusic();
        }
        std::sort(ms.begin() + 1, ms.end());
        report((std::string(c.name) + ", median").c_str(), ms[6], "ms");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode.isEmpty()) {
        QList<QStringList> runs{{"open"}, {"latency"}, {"wait"}, {"loop"}, {"fontloads"}};
#ifdef QUORVEL_GAME_DIR
        // Between games and the busiest stage.
        for (const char* name : {"8.mid", "6.mid"}) {
            const QString track = QStringLiteral(QUORVEL_GAME_DIR "/sounds/") + QLatin1String(name);
            if (QFileInfo::exists(track)) runs.append({"loop", track});
        }
#endif
        int failed = 0;
        for (const QStringList& run : runs)
            failed += QProcess::execute(QCoreApplication::applicationFilePath(), run) != 0;
        return failed;
    }
    SetAudioOutput(AudioOutput::ClockedSilent);
    QTemporaryDir dir;
    if (mode == QLatin1String("fontloads")) {
        // How often the soundfont is loaded while every game file is opened in turn.
        for (int n = 1; n <= 16; ++n)
            OpenMusic(QStringLiteral(QUORVEL_GAME_DIR "/sounds/%1.mid").arg(n), nullptr);
        report("soundfont loads for 16 files", SoundFontLoadCount(), "");
        return 0;
    }
    if (mode == QLatin1String("loop"))
        return benchLoop(dir, argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    if (mode == QLatin1String("wait")) return benchWait(dir);
    if (mode == QLatin1String("latency")) return benchLatency(dir);
    if (mode == QLatin1String("open")) return benchOpen(dir);
    std::fprintf(stderr, "unknown measurement %s\n", argv[1]);
    return 2;
}
