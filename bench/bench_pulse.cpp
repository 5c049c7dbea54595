// SPDX-License-Identifier: GPL-3.0-or-later
// Sound through a real sound server, measured from outside: the monitor of the
// server's sink is recorded by `parec` while this program gives the game's sound
// commands on the platform output. Only the player API is used, so the same
// source measures any version of the engine. Run by bench/sound-pulse.sh.
//
//   bench_pulse latency MONITOR          command to first audible sample, 25 rounds
//   bench_pulse loop MONITOR FILE SECONDS  silence runs while FILE loops
//   bench_pulse stall [SERVER_PID]       worst lateness of a 5 ms timer during sound
//                                        commands; with a pid, the server is stopped
//                                        (SIGSTOP) for 5 s in the middle
//   bench_pulse silences RAW             longest silence inside a recording (s16 mono)
#include "sound/QVRPlayFiles.h"
#include "sound/modMusic.h"
#include "tests/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/types.h>

namespace
{

using Clock = std::chrono::steady_clock;
constexpr int kRate = 44100;
constexpr int kAudible = 2; // 16-bit steps: anything above is sound

void waitFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(qint64(seconds * 1000)), &loop, &QEventLoop::quit);
    loop.exec();
}

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Records the monitor (mono, 16 bit) through parec, with the arrival time of every read.
class Monitor
{
  public:
    explicit Monitor(const char* source)
    {
        const std::string command = std::string("parec --raw --format=s16le --channels=1 --rate=") +
                                    std::to_string(kRate) + " --latency-msec=2 -d " + source;
        pipe_ = popen(command.c_str(), "r");
        reader_ = std::thread([this] {
            std::vector<qint16> chunk(64);
            for (;;) {
                const std::size_t got = std::fread(chunk.data(), 2, chunk.size(), pipe_);
                const Clock::time_point now = Clock::now();
                if (got == 0) break;
                std::lock_guard<std::mutex> guard(lock_);
                samples_.insert(samples_.end(), chunk.begin(), chunk.begin() + std::ptrdiff_t(got));
                arrivals_.push_back({samples_.size(), now});
                if (stop_) break;
            }
        });
        waitFor(0.5); // the recording under way
    }
    ~Monitor()
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stop_ = true;
        }
        reader_.join();
        pclose(pipe_);
    }
    std::size_t size()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return samples_.size();
    }
    // When sample `index` was recorded: the arrival of its chunk, less what came after it.
    Clock::time_point timeOf(std::size_t index)
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const Arrival& a : arrivals_)
            if (a.end > index)
                return a.at - std::chrono::microseconds((a.end - index) * 1000000 / kRate);
        return Clock::now();
    }
    // The first audible sample at or after `from`, or -1.
    long long firstAudible(std::size_t from)
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (std::size_t i = from; i < samples_.size(); ++i)
            if (std::abs(samples_[i]) > kAudible) return (long long)i;
        return -1;
    }
    std::vector<qint16> samples()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return samples_;
    }

  private:
    struct Arrival {
        std::size_t end;
        Clock::time_point at;
    };
    FILE* pipe_ = nullptr;
    std::thread reader_;
    std::mutex lock_;
    std::vector<qint16> samples_;
    std::vector<Arrival> arrivals_;
    bool stop_ = false;
};

class Looper : public QObject
{
  public:
    bool event(QEvent* e) override
    {
        if (e->type() != PlaybackEventType) return QObject::event(e);
        KeepMusicLooping();
        return true;
    }
};

int latency(const char* source, const QTemporaryDir& dir)
{
    const QString effect = dir.filePath(QStringLiteral("effect.mid"));
    TestSupport::WriteFile(effect, TestSupport::MakeMidi(0.3, 76));
    Monitor monitor(source);
    if (!OpenMusic(effect, nullptr)) return 1; // first opening: plug-ins, soundfont
    WaitForMusicEnd();
    // An idle null sink has committed up to 2 s of silence ahead before the stream joins
    // it: the rounds start once the monitor hears the sound.
    for (int i = 0; i < 20; ++i) {
        const std::size_t from = monitor.size();
        OpenMusic(effect, nullptr);
        WaitForMusicEnd();
        waitFor(0.1);
        if (monitor.firstAudible(from) >= 0) break;
    }
    std::vector<double> results;
    for (int i = 0; i < 25; ++i) {
        StopMusic();
        waitFor(0.4); // silence on the monitor
        const std::size_t from = monitor.size();
        const Clock::time_point command = Clock::now();
        if (!OpenMusic(effect, nullptr)) return 1;
        long long first = -1;
        while (first < 0 && Clock::now() - command < std::chrono::seconds(2)) {
            waitFor(0.01);
            first = monitor.firstAudible(from);
        }
        if (first >= 0) results.push_back(ms(monitor.timeOf(std::size_t(first)) - command));
        WaitForMusicEnd();
    }
    StopMusic();
    if (results.empty()) return 1;
    std::sort(results.begin(), results.end());
    std::printf("command to first audible sample: median %.1f ms, 90th %.1f ms, worst %.1f ms "
                "(%zu rounds)\n",
                results[results.size() / 2], results[results.size() * 9 / 10], results.back(),
                results.size());
    return 0;
}

int loop(const char* source, const QString& file, double seconds)
{
    Monitor monitor(source);
    Looper box;
    const std::size_t from = monitor.size();
    if (!OpenMusic(file, &box)) return 1;
    const double length = MusicStopTime();
    waitFor(seconds);
    StopMusic();
    const std::vector<qint16> s = monitor.samples();
    std::size_t start = from;
    while (start < s.size() && std::abs(s[start]) <= kAudible)
        ++start;
    // Silence runs after the first sound, up to the end of the playing.
    const std::size_t end = std::min(s.size(), start + std::size_t((seconds - 0.5) * kRate));
    std::size_t run = 0, longest = 0, over2ms = 0;
    for (std::size_t i = start; i < end; ++i) {
        if (std::abs(s[i]) <= kAudible) {
            ++run;
        } else {
            if (run > std::size_t(kRate * 2 / 1000)) ++over2ms;
            longest = std::max(longest, run);
            run = 0;
        }
    }
    // Around each loop point (the first sound and every pass after it), within 0.2 s.
    const auto pass = std::size_t(length * kRate);
    std::size_t atLoop = 0;
    int loops = 0;
    for (std::size_t at = start + pass; at + kRate / 5 < end; at += pass, ++loops) {
        std::size_t r = 0;
        for (std::size_t i = at - kRate / 5; i < at + kRate / 5; ++i) {
            r = std::abs(s[i]) <= kAudible ? r + 1 : 0;
            atLoop = std::max(atLoop, r);
        }
    }
    std::printf("loop of %s (%.2f s, %d loop points heard): longest silence at a loop point %.1f "
                "ms; anywhere %.1f ms, silences over 2 ms: %zu\n",
                qPrintable(file.section(u'/', -1)), length, loops, 1000.0 * double(atLoop) / kRate,
                1000.0 * double(longest) / kRate, over2ms);
    return 0;
}

int stall(pid_t server, const QTemporaryDir& dir)
{
    const QString effect = dir.filePath(QStringLiteral("effect.mid"));
    const QString music = dir.filePath(QStringLiteral("music.mid"));
    const QString other = dir.filePath(QStringLiteral("other.mid"));
    TestSupport::WriteFile(effect, TestSupport::MakeMidi(0.25, 76));
    TestSupport::WriteFile(music, TestSupport::MakeMidi(3.0, 60));
    TestSupport::WriteFile(other, TestSupport::MakeMidi(2.0, 64));
    Looper box;
    OpenMusic(music, &box); // start-up costs are not what is measured
    waitFor(0.5);

    // The timer that the window's painting stands for.
    double worst = 0;
    Clock::time_point last = Clock::now();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        worst = std::max(worst, ms(now - last) - 5.0);
        last = now;
    });
    tick.start(5);
    const Clock::time_point begin = Clock::now();
    bool stopped = false, resumed = false;
    int commands = 0;
    while (Clock::now() - begin < std::chrono::seconds(server ? 10 : 6)) {
        const double t = ms(Clock::now() - begin) / 1000.0;
        if (server && !stopped && t > 2.0) {
            kill(server, SIGSTOP);
            stopped = true;
        }
        if (server && stopped && !resumed && t > 7.0) {
            kill(server, SIGCONT);
            resumed = true;
        }
        switch (commands++ % 5) {
        case 0:
            OpenMusic(effect, nullptr);
            WaitForMusicEnd();
            break;
        case 1:
            OpenMusic(music, &box);
            break;
        case 2:
            OpenMusic(other, &box);
            break;
        case 3:
            StopMusic();
            break;
        case 4:
            OpenMusic(music, &box);
            break;
        }
        waitFor(0.2);
    }
    if (server && !resumed) kill(server, SIGCONT);
    StopMusic();
    std::printf("user-interface stall (5 ms timer, worst lateness)%s: %.1f ms over %d commands\n",
                server ? ", server stopped for 5 s" : "", worst, commands);
    return 0;
}

// The silences a file has of its own, in a rendering of one pass.
int silences(const char* path)
{
    FILE* f = std::fopen(path, "rb");
    if (!f) return 1;
    std::vector<qint16> s;
    qint16 buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 2, 4096, f)) > 0)
        s.insert(s.end(), buffer, buffer + got);
    std::fclose(f);
    std::size_t start = 0, end = s.size();
    while (start < end && std::abs(s[start]) <= kAudible)
        ++start;
    while (end > start && std::abs(s[end - 1]) <= kAudible)
        --end;
    std::size_t run = 0, longest = 0;
    for (std::size_t i = start; i < end; ++i) {
        run = std::abs(s[i]) <= kAudible ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    std::printf("the file itself: longest silence inside it %.1f ms, %.1f ms before its end\n",
                1000.0 * double(longest) / kRate, 1000.0 * double(s.size() - end) / kRate);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) return 2;
    if (std::string(argv[1]) == "silences" && argc > 2) return silences(argv[2]);
    SetAudioOutput(AudioOutput::Platform);
    QTemporaryDir dir;
    const std::string mode = argv[1];
    if (mode == "latency" && argc > 2) return latency(argv[2], dir);
    if (mode == "loop" && argc > 4)
        return loop(argv[2], QString::fromLocal8Bit(argv[3]), std::atof(argv[4]));
    if (mode == "stall") return stall(argc > 2 ? pid_t(std::atoi(argv[2])) : 0, dir);
    return 2;
}
