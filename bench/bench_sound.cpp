// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-process measurements of the sound players on the clocked silent sink:
// CPU while music loops and while an effect is waited for, the latency from
// PlayEffect to sound, the silence between two passes of a looping track, the
// cost of a notification on the user-interface thread, and the memory taken.
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
#include <gst/gst.h>
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

// Times at which the sink rendered buffers: the start of each pass and the end
// of the buffer before it.
struct Renders {
    std::mutex lock;
    Clock::time_point made = Clock::now(); // when the player's sink was made
    Clock::time_point first{};
    std::vector<double> gapsMs;
    Clock::time_point lastEnd{};
    bool any = false;
};

void onHandoff(GstElement*, GstBuffer* buffer, GstPad*, gpointer data)
{
    auto* r = static_cast<Renders*>(data);
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> guard(r->lock);
    if (!r->any)
        r->first = now;
    else if (GST_BUFFER_PTS(buffer) == 0)
        r->gapsMs.push_back(std::chrono::duration<double, std::milli>(now - r->lastEnd).count());
    r->any = true;
    const GstClockTime duration = GST_BUFFER_DURATION(buffer);
    r->lastEnd = now + std::chrono::nanoseconds(GST_CLOCK_TIME_IS_VALID(duration) ? duration : 0);
}

void watchSinks(Renders*& current, std::vector<std::unique_ptr<Renders>>& all)
{
    SetAudioSinkObserver([&current, &all](GstElement* sink) {
        all.push_back(std::make_unique<Renders>());
        current = all.back().get();
        g_object_set(sink, "signal-handoffs", TRUE, nullptr);
        g_signal_connect(sink, "handoff", reinterpret_cast<GCallback>(&onHandoff), current);
    });
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
    Renders* renders = nullptr;
    std::vector<std::unique_ptr<Renders>> all;
    watchSinks(renders, all);
    Receiver box;
    const double seconds = 20;
    if (!OpenMusic(track, &box)) return 1;
    const double cpu0 = cpuSeconds();
    waitFor(seconds);
    const double cpu = cpuSeconds() - cpu0;
    const double rss = memoryMiB("VmRSS:");
    StopMusic();
    std::vector<double> gaps;
    {
        std::lock_guard<std::mutex> guard(renders->lock);
        gaps = renders->gapsMs;
    }
    report("loop: CPU, % of one core", 100 * cpu / seconds, "%", "(goal < 3)");
    report("loop: passes restarted", double(gaps.size()), "");
    if (!gaps.empty()) {
        std::sort(gaps.begin(), gaps.end());
        report("loop: gap median", gaps[gaps.size() / 2], "ms", "(goal < 10)");
        report("loop: gap worst", gaps.back(), "ms");
    }
    report("loop: notifications", double(box.events), "");
    if (box.events) {
        report("loop: notification mean", box.totalMs / box.events, "ms");
        report("loop: notification worst", box.worstMs, "ms");
    }
    report("loop: memory, soundfont loaded", rss, "MiB", "(goal < 100)");
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
    Renders* renders = nullptr;
    std::vector<std::unique_ptr<Renders>> all;
    watchSinks(renders, all);

    using Ms = std::chrono::duration<double, std::milli>;
    std::vector<double> latencies, stopping;
    const int rounds = 25;
    for (int i = 0; i <= rounds; ++i) {
        if (!OpenMusic(music, nullptr)) return 1; // an effect interrupts music in the game
        waitFor(0.1);
        const Clock::time_point start = Clock::now();
        PlayEffect(0);
        std::lock_guard<std::mutex> guard(renders->lock);
        if (i > 0 && renders->any) { // the first round loads the plug-ins
            latencies.push_back(Ms(renders->first - start).count());
            stopping.push_back(Ms(renders->made - start).count());
        }
    }
    std::sort(latencies.begin(), latencies.end());
    std::sort(stopping.begin(), stopping.end());
    report("effect: start to sound, median", latencies[latencies.size() / 2], "ms", "(goal < 50)");
    report("effect: start to sound, 90th", latencies[latencies.size() * 9 / 10], "ms");
    report("effect: start to sound, worst", latencies.back(), "ms");
    report("effect: stopping the music, median", stopping[stopping.size() / 2], "ms");
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
        QList<QStringList> runs{{"open"}, {"latency"}, {"wait"}, {"loop"}};
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
    if (mode == QLatin1String("loop"))
        return benchLoop(dir, argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    if (mode == QLatin1String("wait")) return benchWait(dir);
    if (mode == QLatin1String("latency")) return benchLatency(dir);
    if (mode == QLatin1String("open")) return benchOpen(dir);
    std::fprintf(stderr, "unknown measurement %s\n", argv[1]);
    return 2;
}
