// SPDX-License-Identifier: GPL-3.0-or-later
// The two player slots on the real engine (synthesizer, sequencer, decoder),
// with outputs that record the samples they are given.
#include "TestSupport.h"
#include "sound/modMusic.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

using namespace TestSupport;

namespace
{

// Stands in for the main window's hidden box: counts notifications and, when
// asked to, runs the looping check for each one as the game does.
class Receiver : public QObject
{
  public:
    int events = 0;
    bool loops = false;
    bool event(QEvent* e) override
    {
        if (e->type() != PlaybackEventType) return QObject::event(e);
        ++events;
        if (loops) KeepMusicLooping();
        return true;
    }
};

double elapsedSeconds(const QElapsedTimer& t)
{
    return double(t.elapsed()) / 1000.0;
}

// Records what the engine renders; fast or in real time.
std::shared_ptr<RecordingOutput> record(SoundOutput::Pacing pacing)
{
    auto output = std::make_shared<RecordingOutput>(pacing, 30.0);
    SetSoundOutput(output);
    return output;
}

// A device that takes sound at its own pace on a thread of its own, then dies
// without a word after `liveMs` (a sound server that vanished).
class DyingDevice : public SoundOutput
{
  public:
    explicit DyingDevice(int liveMs) : liveMs_(liveMs) {}
    ~DyingDevice() override { stop(); }
    Pacing pacing() const override { return Pacing::Device; }
    void start(std::shared_ptr<SoundSourceHandle> source) override
    {
        thread_ = std::thread([this, source] {
            std::vector<float> block(2 * 441);
            const auto begin = std::chrono::steady_clock::now();
            auto next = begin;
            while (!quit_ &&
                   std::chrono::steady_clock::now() - begin < std::chrono::milliseconds(liveMs_)) {
                source->render(block.data(), 441);
                frames_ += 441;
                next += std::chrono::milliseconds(10);
                std::this_thread::sleep_until(next);
            }
        });
    }
    void stop() override
    {
        quit_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::atomic<std::int64_t> frames_{0};

  private:
    const int liveMs_;
    std::atomic<bool> quit_{false};
    std::thread thread_;
};

} // namespace

class TestMusic : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList soundFontPlaces_;
    QString midi(const QString& name, double seconds, int note = 72, double rest = 0.0)
    {
        const QString path = dir_.filePath(name);
        if (!QFileInfo::exists(path)) WriteFile(path, MakeMidi(seconds, note, rest));
        return path;
    }
    QString file(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir_.filePath(name);
        WriteFile(path, bytes);
        return path;
    }

  private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY2(!SoundFontPath().isEmpty(), "a General MIDI soundfont must be installed");
        soundFontPlaces_ = SoundFontPlaces();
    }

    void init() { SetAudioOutput(AudioOutput::FastSilent); }

    void cleanup()
    {
        StopMusic();
        StopSecond();
        SetSoundFontPlaces(soundFontPlaces_);
    }

    void openingReplacesThePlayer()
    {
        auto out = record(SoundOutput::Pacing::Clock);
        QVERIFY(OpenMusic(midi("three.mid", 3.0), nullptr));
        QVERIFY(MusicIsRunning());
        QCOMPARE(MusicStopTime(), 3.0);
        QTRY_VERIFY(MusicPosition() > 0.1);

        QVERIFY(OpenMusic(midi("two.mid", 2.0, 60), nullptr));
        QVERIFY(MusicIsRunning());
        QCOMPARE(MusicStopTime(), 2.0);
        QVERIFY(MusicPosition() < 0.1); // from its beginning

        StopMusic();
        QVERIFY(!MusicIsRunning());
        QCOMPARE(MusicStopTime(), -1.0);
        QCOMPARE(MusicPosition(), -1.0);
    }

    void unrenderableFileLeavesTheSlotEmpty_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("create");
        QByteArray emptyTrack = QByteArray::fromHex("4d546864000000060000000101e04d54726b00000004");
        emptyTrack += QByteArray::fromHex("00ff2f00");
        QByteArray garbageTrack =
            QByteArray::fromHex("4d546864000000060000000101e04d54726b00000040");
        garbageTrack +=
            QByteArray("\x01\x02garbage, not events at all", 28).leftJustified(64, '\x7f');
        QTest::newRow("missing") << "missing.mid" << QByteArray() << false;
        QTest::newRow("text") << "notes.mid" << QByteArray("not a sound at all\r\n").repeated(20)
                              << true;
        QTest::newRow("cut midi") << "cut.mid" << MakeMidi(1.0).left(20) << true;
        QTest::newRow("empty track") << "empty.mid" << emptyTrack << true;
        QTest::newRow("garbage track") << "garbage.mid" << garbageTrack << true;
        QTest::newRow("text as mp3")
            << "notes.mp3" << QByteArray("no tune here\r\n").repeated(40) << true;
        QTest::newRow("folder") << "folder.mid" << QByteArray() << false;
    }
    void unrenderableFileLeavesTheSlotEmpty()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, create);
        const QString path = dir_.filePath(name);
        if (create) WriteFile(path, bytes);
        if (name == "folder.mid") QDir().mkpath(path);

        QVERIFY(OpenMusic(midi("one.mid", 1.0), nullptr));
        QVERIFY(OpenSecond(midi("one.mid", 1.0)));
        QVERIFY(!OpenMusic(path, nullptr));
        QVERIFY(!OpenSecond(path));
        QVERIFY(!MusicIsRunning());
        QVERIFY(!SecondIsRunning());
        QCOMPARE(MusicStopTime(), -1.0);
        QVERIFY(MediaDuration(path) < 0);
        WaitForMusicEnd();
        KeepMusicLooping();
    }

    void silentTrackPlaysItsLengthWithoutSpinning()
    {
        // A valid file with no note at all: silence, as long as the file says, and
        // looping it costs next to nothing.
        QByteArray track = QByteArray::fromHex("00c000"); // a program change, then a rest
        track += QByteArray::fromHex("8370b0077f");       // 496 ticks later, a volume change
        track += QByteArray::fromHex("8350ff2f00");       // 464 ticks: one second in all
        QByteArray bytes = QByteArray::fromHex("4d546864000000060000000101e04d54726b");
        bytes += char(0), bytes += char(0), bytes += char(0), bytes += char(track.size());
        bytes += track;
        const QString path = file("silent.mid", bytes);
        QCOMPARE(MediaDuration(path), 1.0);

        auto out = record(SoundOutput::Pacing::Clock);
        Receiver looper;
        looper.loops = true;
        const std::int64_t mark = out->framesSeen();
        const std::clock_t cpu0 = std::clock();
        QElapsedTimer wall;
        wall.start();
        QVERIFY(OpenMusic(path, &looper));
        QTest::qWait(2500);
        const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
        // Start and two passes begun again, give or take one: nothing like a spin.
        QVERIFY2(looper.events >= 2 && looper.events <= 5,
                 qPrintable(QString::number(looper.events)));
        QVERIFY2(cpu < 0.5 * elapsedSeconds(wall), qPrintable(QString::number(cpu)));
        QCOMPARE(FirstAudible(out->samplesFrom(mark)), std::int64_t(-1));
    }

    void notificationsReachOnlyTheCurrentPlayersReceiver()
    {
        Receiver first, second;
        // A player that is still current delivers its notes.
        QVERIFY(OpenMusic(midi("one.mid", 1.0), &first));
        QTRY_VERIFY(first.events > 0);

        // Notes queued before a stop or a replacement are dropped.
        first.events = 0;
        QVERIFY(OpenMusic(midi("one.mid", 1.0), &first));
        StopMusic();
        QTest::qWait(300);
        QCOMPARE(first.events, 0);

        QVERIFY(OpenMusic(midi("one.mid", 1.0), &first));
        QVERIFY(OpenMusic(midi("two.mid", 2.0, 60), &second));
        QTRY_VERIFY(second.events > 0);
        QTest::qWait(200);
        QCOMPARE(first.events, 0);

        // The end of a replaced player does not end the wait for its successor.
        SetAudioOutput(AudioOutput::ClockedSilent);
        QVERIFY(OpenMusic(midi("short.mid", 0.3, 72, 0.1), &first));
        QTest::qWait(450);
        QVERIFY(OpenMusic(midi("tail8.mid", 0.8, 72, 0.2), nullptr));
        QElapsedTimer clock;
        clock.start();
        WaitForMusicEnd();
        QVERIFY2(elapsedSeconds(clock) >= 0.9, qPrintable(QString::number(elapsedSeconds(clock))));

        // A player opened without a receiver notifies nobody, not even the last one.
        SetAudioOutput(AudioOutput::FastSilent);
        second.events = 0;
        QVERIFY(OpenMusic(midi("one.mid", 1.0), nullptr));
        QTRY_VERIFY(MusicPosition() >= MusicStopTime());
        QTest::qWait(200);
        QCOMPARE(second.events, 0);
    }

    void waitReturnsAtOnceWhenNothingRuns()
    {
        QElapsedTimer clock;
        clock.start();
        WaitForMusicEnd();
        QVERIFY(elapsedSeconds(clock) < 1.0);

        // A track that has already played to its end.
        QVERIFY(OpenMusic(midi("tail.mid", 0.8, 72, 0.2), nullptr));
        QTRY_VERIFY(MusicPosition() >= MusicStopTime());
        clock.restart();
        WaitForMusicEnd();
        QVERIFY(elapsedSeconds(clock) < 0.5);
    }

    void waitLastsUntilTheEndWhileEventsRun()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        QVERIFY(OpenMusic(midi("tail.mid", 0.8, 72, 0.2), nullptr));
        bool timerRan = false;
        QTimer::singleShot(100, this, [&] { timerRan = true; });
        QElapsedTimer clock;
        clock.start();
        WaitForMusicEnd();
        QVERIFY2(elapsedSeconds(clock) >= 0.95, qPrintable(QString::number(elapsedSeconds(clock))));
        QVERIFY2(elapsedSeconds(clock) < 1.5, qPrintable(QString::number(elapsedSeconds(clock))));
        QVERIFY(timerRan);
        QCOMPARE(MusicPosition(), MusicStopTime());
        QVERIFY(MusicIsRunning()); // a finished player stays in its slot
    }

    void waitEndsWhenThePlayerIsStoppedOrReplaced()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        QElapsedTimer clock;

        QVERIFY(OpenMusic(midi("five.mid", 5.0), nullptr));
        QTimer::singleShot(300, this, [] { StopMusic(); });
        clock.start();
        WaitForMusicEnd();
        QVERIFY(elapsedSeconds(clock) < 4.0);
        QVERIFY(!MusicIsRunning());

        QVERIFY(OpenMusic(midi("five.mid", 5.0), nullptr));
        bool reopened = false;
        QTimer::singleShot(300, this,
                           [&] { reopened = OpenMusic(midi("six.mid", 5.0, 60), nullptr); });
        clock.restart();
        WaitForMusicEnd();
        QVERIFY(elapsedSeconds(clock) < 4.0);
        QVERIFY(reopened);
        QVERIFY(MusicIsRunning());

        // An effect waited for inside the wait: both waits end, the inner one at its end.
        QVERIFY(OpenMusic(midi("five.mid", 5.0), nullptr));
        double innerSeconds = -1;
        QTimer::singleShot(300, this, [&] {
            QElapsedTimer inner;
            inner.start();
            if (OpenMusic(midi("half.mid", 0.5, 76), nullptr)) WaitForMusicEnd();
            innerSeconds = elapsedSeconds(inner);
        });
        clock.restart();
        WaitForMusicEnd();
        QVERIFY(elapsedSeconds(clock) < 4.0);
        QVERIFY(innerSeconds >= 0.45);
        QVERIFY(MusicPosition() >= MusicStopTime());
    }

    void secondPlayerKeepsPlayingWhileMusicIsReopened()
    {
        auto out = record(SoundOutput::Pacing::Clock);
        const QByteArray tune = MakeMp3(3.0);
        QVERIFY(!tune.isEmpty());
        const QString path = file("tune.mp3", tune);
        QVERIFY(MediaDuration(path) > 0.4);
        const std::int64_t mark = out->framesSeen();
        QVERIFY(OpenSecond(path));
        QVERIFY(OpenMusic(midi("one.mid", 1.0), nullptr));
        QVERIFY(OpenMusic(midi("two.mid", 2.0, 60), nullptr));
        StopMusic();
        QVERIFY(OpenMusic(midi("one.mid", 1.0), nullptr));
        QVERIFY(!OpenMusic(dir_.filePath("missing.mid"), nullptr));
        StopMusic();

        QVERIFY(SecondIsRunning());
        const double before = SecondPosition();
        QTRY_VERIFY(SecondPosition() > before + 0.1);
        // The tune is heard on its own from the first samples on.
        QVERIFY(out->waitForFrames(mark + SoundRate / 5, 5000));
        const std::vector<float> heard = out->samplesFrom(mark);
        QVERIFY(FirstAudible(heard) >= 0);
        QVERIFY(FirstAudible(heard) < SoundRate / 20);
        StopSecond();
        QVERIFY(!SecondIsRunning());
    }

    void effectSoundsInTheFirstBlockAfterTheCommand()
    {
        for (SoundOutput::Pacing pacing : {SoundOutput::Pacing::Fast, SoundOutput::Pacing::Clock}) {
            auto out = record(pacing);
            QVERIFY(OpenMusic(midi("music.mid", 3.0, 48), nullptr));
            QTest::qWait(100);
            StopMusic();
            QTest::qWait(50);
            const std::int64_t mark = out->framesSeen();
            QVERIFY(OpenMusic(midi("effect.mid", 0.5, 76), nullptr));
            QVERIFY(out->waitForFrames(mark + 2048, 3000));
            const std::int64_t first = FirstAudible(out->samplesFrom(mark));
            // The synthesizer's own block is 64 frames; the engine's at most 1024.
            QVERIFY2(first >= 0 && first < 1024 + 64, qPrintable(QString::number(first)));
        }
    }

    void stopSilencesAtOnce()
    {
        auto out = record(SoundOutput::Pacing::Clock);
        QVERIFY(OpenMusic(midi("long.mid", 3.0, 60), nullptr));
        QVERIFY(out->waitForFrames(out->framesSeen() + SoundRate / 2, 3000));
        StopMusic();
        const std::int64_t mark = out->framesSeen();
        QVERIFY(out->waitForFrames(mark + SoundRate / 2, 3000));
        // Not a note, not an echo after the command.
        QCOMPARE(FirstAudible(out->samplesFrom(mark)), std::int64_t(-1));
        const std::vector<float> after = out->samplesFrom(mark);
        QVERIFY(std::all_of(after.begin(), after.end(), [](float v) { return v == 0.0f; }));
    }

    void loopWrapsOnTheSampleAfterTheEnd()
    {
        // A note held to the very end of the file: any gap at the loop point shows.
        auto out = record(SoundOutput::Pacing::Fast);
        Receiver looper;
        looper.loops = true;
        const std::int64_t mark = out->framesSeen();
        QVERIFY(OpenMusic(midi("held.mid", 0.5, 60), &looper));
        const std::int64_t pass = SoundRate / 2;
        QVERIFY(out->waitForFrames(mark + 3 * pass + 4096, 5000));
        const std::vector<float> heard = out->samplesFrom(mark);
        const std::int64_t start = FirstAudible(heard);
        QVERIFY(start >= 0 && start < 1024 + 64);
        // Around the ends of the first two passes, nothing as long as 2 ms is silent.
        for (int k = 1; k <= 2; ++k) {
            const std::int64_t loop = start + k * pass;
            QVERIFY2(LongestSilence(heard, loop - 2000, loop + 2000) < SoundRate * 2 / 1000,
                     qPrintable(QString::number(LongestSilence(heard, loop - 2000, loop + 2000))));
        }
        QTRY_VERIFY(looper.events >= 3); // the start and the passes begun again
        QVERIFY(MusicPosition() < MusicStopTime());
    }

    void loopingCheckRewindsOnlyAFinishedTrack()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        // In the middle of a track the check leaves the position alone.
        QVERIFY(OpenMusic(midi("two.mid", 2.0, 60), nullptr));
        QTRY_VERIFY(MusicPosition() > 0.3);
        const double before = MusicPosition();
        KeepMusicLooping();
        QVERIFY(MusicPosition() >= before);

        // Without notifications a finished track stays at its end ...
        SetAudioOutput(AudioOutput::FastSilent);
        QVERIFY(OpenMusic(midi("shorttail.mid", 0.2, 64, 0.15), nullptr));
        QTRY_VERIFY(MusicPosition() == MusicStopTime());
        QTest::qWait(200);
        QCOMPARE(MusicPosition(), MusicStopTime());
        // ... until the check itself rewinds it.
        SetAudioOutput(AudioOutput::ClockedSilent);
        KeepMusicLooping();
        QVERIFY(MusicPosition() < 0.1);
        QTRY_VERIFY(MusicPosition() > 0.05);
    }

    void soundfontIsLoadedOnce()
    {
        const int loads = SoundFontLoadCount();
        QVERIFY(loads >= 1); // the opening of the tests' first MIDI file needed it
        for (int i = 0; i < 10; ++i) {
            QVERIFY(
                OpenMusic(midi(QStringLiteral("n%1.mid").arg(i), 0.1 + 0.05 * i, 60 + i), nullptr));
            QVERIFY(OpenSecond(midi("one.mid", 1.0)));
            StopMusic();
        }
        QCOMPARE(SoundFontLoadCount(), loads);
        // Another soundfont chosen is loaded once too, and so is the first one again.
        const QString copy = dir_.filePath("copy.sf2");
        QVERIFY(QFile::copy(SoundFontPath(), copy));
        SetSoundFontPlaces({copy});
        QVERIFY(OpenMusic(midi("one.mid", 1.0), nullptr));
        QVERIFY(OpenMusic(midi("two.mid", 2.0, 60), nullptr));
        QCOMPARE(SoundFontLoadCount(), loads + 1);
        SetSoundFontPlaces(soundFontPlaces_);
        QVERIFY(OpenMusic(midi("one.mid", 1.0), nullptr));
        QCOMPARE(SoundFontLoadCount(), loads + 2);
    }

    void dyingOutputKeepsThePace()
    {
        // The device takes sound for a moment and then never again: the game goes on
        // in real time, silently, and track after track still ends on time.
        auto device = std::make_shared<DyingDevice>(300);
        SetSoundOutput(device);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(OpenMusic(midi("one.mid", 1.0), nullptr));
        WaitForMusicEnd();
        QVERIFY2(elapsedSeconds(clock) >= 0.95 && elapsedSeconds(clock) < 1.6,
                 qPrintable(QString::number(elapsedSeconds(clock))));
        QVERIFY(device->frames_ > 0);
        clock.restart();
        QVERIFY(OpenMusic(midi("half.mid", 0.5, 76), nullptr));
        WaitForMusicEnd();
        QVERIFY2(elapsedSeconds(clock) >= 0.45 && elapsedSeconds(clock) < 1.0,
                 qPrintable(QString::number(elapsedSeconds(clock))));
        QCOMPARE(MusicPosition(), MusicStopTime());
    }

    void platformOutputPlaysInRealTime()
    {
        // With or without a sound server here, the platform output must open every
        // file and keep the pace of the track.
        SetAudioOutput(AudioOutput::Platform);
        QVERIFY(OpenSecond(midi("two.mid", 2.0, 60)));
        QVERIFY(OpenMusic(midi("one.mid", 1.0), nullptr));
        QElapsedTimer clock;
        clock.start();
        WaitForMusicEnd();
        QVERIFY2(elapsedSeconds(clock) >= 0.9, qPrintable(QString::number(elapsedSeconds(clock))));
        QVERIFY(MusicPosition() >= MusicStopTime());
        QVERIFY(SecondIsRunning());
    }

    void durationIsReadWithoutPlaying()
    {
        QVERIFY(OpenMusic(midi("three.mid", 3.0), nullptr));
        QCOMPARE(MediaDuration(midi("half.mid", 0.5, 76)), 0.5);
        QCOMPARE(MediaDuration(midi("two.mid", 2.0, 60)), 2.0);
        QVERIFY(MediaDuration(dir_.filePath("nothing.mid")) < 0);
        QVERIFY(MediaDuration(file("junk.mid", QByteArray(300, 'x'))) < 0);
        QCOMPARE(MusicStopTime(), 3.0); // the music player is not touched
    }

    void midiUsesTheSoundfontFoundFirst()
    {
        const QString broken =
            file("broken.sf2", QByteArray("no soundfont in here\n").repeated(50));
        SetSoundFontPlaces({dir_.filePath("absent.sf2"), broken, SoundFontPath()});
        QCOMPARE(SoundFontPath(), broken);
        QVERIFY(!OpenMusic(midi("one.mid", 1.0), nullptr));
        QVERIFY(OpenSecond(file("tune.mp3", MakeMp3(0.5))));
    }
};

QTEST_MAIN(TestMusic)
#include "test_music.moc"
