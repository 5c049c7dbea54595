// SPDX-License-Identifier: GPL-3.0-or-later
// The two player slots on real GStreamer pipelines, with silent sinks.
#include "TestSupport.h"
#include "sound/modMusic.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <gst/gst.h>

#include <atomic>
#include <memory>
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

// What happened to the sink of one player: whether it has been released, how
// much it was given to play, and how many times a pass of the file started (a
// buffer at time 0 reached it).
struct SinkRecord {
    std::atomic<bool> released{false};
    std::atomic<bool> ended{false}; // the end of the stream reached the sink
    std::atomic<int> buffers{0};
    std::atomic<int> passes{0};
};

void onHandoff(GstElement*, GstBuffer* buffer, GstPad*, gpointer data)
{
    auto* record = static_cast<SinkRecord*>(data);
    ++record->buffers;
    if (GST_BUFFER_PTS(buffer) == 0) {
        record->ended = false;
        ++record->passes;
    }
}

GstPadProbeReturn onEvent(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS)
        static_cast<SinkRecord*>(data)->ended = true;
    return GST_PAD_PROBE_OK;
}

// Records every player sink; a record lives as long as its sink, or the watch.
class SinkWatch
{
  public:
    SinkWatch()
    {
        SetAudioSinkObserver([this](GstElement* sink) {
            auto record = std::make_shared<SinkRecord>();
            records_.push_back(record);
            if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "signal-handoffs")) {
                g_object_set(sink, "signal-handoffs", TRUE, nullptr);
                g_signal_connect(sink, "handoff", reinterpret_cast<GCallback>(&onHandoff),
                                 record.get());
                GstPad* pad = gst_element_get_static_pad(sink, "sink");
                gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &onEvent, record.get(),
                                  nullptr);
                gst_object_unref(pad);
            }
            g_object_weak_ref(
                G_OBJECT(sink),
                [](gpointer data, GObject*) {
                    auto* kept = static_cast<std::shared_ptr<SinkRecord>*>(data);
                    (*kept)->released = true;
                    delete kept;
                },
                new std::shared_ptr<SinkRecord>(record));
        });
    }
    ~SinkWatch() { SetAudioSinkObserver({}); }
    int count() const { return int(records_.size()); }
    SinkRecord& operator[](int i) const { return *records_.at(i); }
    SinkRecord& last() const { return *records_.back(); }

  private:
    std::vector<std::shared_ptr<SinkRecord>> records_;
};

double elapsedSeconds(const QElapsedTimer& t)
{
    return double(t.elapsed()) / 1000.0;
}

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

    void openingReplacesAndReleasesThePlayer()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        SinkWatch sinks;
        QVERIFY(OpenMusic(midi("three.mid", 3.0), nullptr));
        QVERIFY(MusicIsRunning());
        QCOMPARE(MusicStopTime(), 3.0);

        QTRY_VERIFY(sinks[0].buffers > 0);
        QVERIFY(OpenMusic(midi("two.mid", 2.0, 60), nullptr));
        // The first player is silent from then on, and soon gone.
        const int played = sinks[0].buffers;
        QCOMPARE(sinks.count(), 2);
        QVERIFY(MusicIsRunning());
        QCOMPARE(MusicStopTime(), 2.0);
        QTRY_VERIFY(sinks[0].released);
        QCOMPARE(sinks[0].buffers.load(), played);
        QVERIFY(!sinks[1].released);
        QTRY_VERIFY(sinks[1].buffers > 0);

        StopMusic();
        QTRY_VERIFY(sinks[1].released);
        QVERIFY(!MusicIsRunning());
        QCOMPARE(MusicStopTime(), -1.0);
    }

    void unrenderableFileLeavesTheSlotEmpty_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("create");
        QTest::newRow("missing") << "missing.mid" << QByteArray() << false;
        QTest::newRow("text") << "notes.mid" << QByteArray("not a sound at all\r\n").repeated(20)
                              << true;
        QTest::newRow("cut midi") << "cut.mid" << MakeMidi(1.0).left(20) << true;
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

        SinkWatch sinks;
        QVERIFY(OpenMusic(midi("one.mid", 1.0), nullptr));
        QVERIFY(OpenSecond(midi("one.mid", 1.0)));
        QVERIFY(!OpenMusic(path, nullptr));
        QVERIFY(!OpenSecond(path));
        QVERIFY(!MusicIsRunning());
        QVERIFY(!SecondIsRunning());
        QCOMPARE(MusicStopTime(), -1.0);
        for (int i = 0; i < sinks.count(); ++i)
            QTRY_VERIFY(sinks[i].released);
        WaitForMusicEnd();
        KeepMusicLooping();
    }

    void notificationsReachOnlyTheCurrentPlayersReceiver()
    {
        Receiver first, second;
        // A player that is still current delivers its messages.
        QVERIFY(OpenMusic(midi("one.mid", 1.0), &first));
        QTRY_VERIFY(first.events > 0);

        // Messages queued before a stop or a replacement are dropped.
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

        // An end of stream still queued for a replaced player does not end its successor.
        {
            SinkWatch sinks;
            QVERIFY(OpenMusic(midi("one.mid", 1.0), &first));
            QElapsedTimer played;
            played.start();
            while (!sinks.last().ended && played.elapsed() < 5000)
                QThread::msleep(5);
            QThread::msleep(50); // the message follows the event to the sink
            SetAudioOutput(AudioOutput::ClockedSilent);
            QVERIFY(OpenMusic(midi("tail.mid", 0.8, 72, 0.2), &second));
            QElapsedTimer clock;
            clock.start();
            WaitForMusicEnd();
            QVERIFY2(elapsedSeconds(clock) >= 0.8,
                     qPrintable(QString::number(elapsedSeconds(clock))));
            QVERIFY(sinks.last().ended);
            SetAudioOutput(AudioOutput::FastSilent);
        }

        // A player opened without a receiver notifies nobody, not even the last one.
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

        // A track that has already played to its end: waiting would only meet the time limit.
        SinkWatch sinks;
        QVERIFY(OpenMusic(midi("tail.mid", 0.8, 72, 0.2), nullptr));
        QTRY_VERIFY(sinks.last().ended);
        clock.restart();
        WaitForMusicEnd();
        QVERIFY(elapsedSeconds(clock) < 1.5);
    }

    void waitLastsUntilTheEndWhileEventsRun()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        SinkWatch sinks;
        // The rest before the end of the track keeps the end position short of the stop time.
        QVERIFY(OpenMusic(midi("tail.mid", 0.8, 72, 0.2), nullptr));
        bool timerRan = false;
        QTimer::singleShot(100, this, [&] { timerRan = true; });
        QElapsedTimer clock;
        clock.start();
        WaitForMusicEnd();
        QVERIFY2(elapsedSeconds(clock) >= 0.9, qPrintable(QString::number(elapsedSeconds(clock))));
        QVERIFY(timerRan);
        // It ended at the end of the track, not at the time limit.
        QVERIFY(sinks.last().ended);
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
        QVERIFY(innerSeconds >= 0.4);
        QVERIFY(MusicPosition() >= MusicStopTime());
    }

    void secondPlayerKeepsPlayingWhileMusicIsReopened()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        SinkWatch sinks;
        const QByteArray tune = MakeMp3(3.0);
        QVERIFY(!tune.isEmpty());
        QVERIFY(OpenSecond(file("tune.mp3", tune)));
        QVERIFY(OpenMusic(midi("one.mid", 1.0), nullptr));
        QVERIFY(OpenMusic(midi("two.mid", 2.0, 60), nullptr));
        StopMusic();
        QVERIFY(OpenMusic(midi("one.mid", 1.0), nullptr));
        QVERIFY(!OpenMusic(dir_.filePath("missing.mid"), nullptr));

        QVERIFY(!sinks[0].released);
        QVERIFY(SecondIsRunning());
        const double before = SecondPosition();
        QTRY_VERIFY(SecondPosition() > before);
        StopSecond();
        QTRY_VERIFY(sinks[0].released);
    }

    void loopingRestartsOnlyAFinishedTrack()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        SinkWatch sinks;
        Receiver looper;
        looper.loops = true;

        // In the middle of a track the check leaves the position alone.
        QVERIFY(OpenMusic(midi("two.mid", 2.0, 60), &looper));
        QTRY_VERIFY(MusicPosition() > 0.3);
        const double before = MusicPosition();
        KeepMusicLooping();
        QVERIFY(MusicPosition() >= before);

        // The rest after the last note keeps the end position short of the stop time.
        QVERIFY(OpenMusic(midi("shorttail.mid", 0.2, 64, 0.15), &looper));
        QTRY_VERIFY_WITH_TIMEOUT(sinks.last().passes >= 3, 10000);
        QVERIFY(MusicIsRunning());

        // Without notifications a finished track stays at its end.
        QVERIFY(OpenMusic(midi("shorttail.mid", 0.2, 64, 0.15), nullptr));
        QTRY_VERIFY(sinks.last().ended);
        QTest::qWait(300);
        QCOMPARE(sinks.last().passes.load(), 1);
        QVERIFY(sinks.last().ended);
        // The check itself rewinds it.
        KeepMusicLooping();
        QTRY_VERIFY(sinks.last().passes >= 2);
    }

    void platformOutputPlaysInRealTime()
    {
        // Here there is no sound card and no sound server: the platform output
        // must still open every file and keep the pace of the track.
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
        // Left alone, the decoder would have found a good soundfont by itself.
        QVERIFY(!OpenMusic(midi("one.mid", 1.0), nullptr));
        QVERIFY(OpenSecond(file("tune.mp3", MakeMp3(0.5))));
    }
};

QTEST_MAIN(TestMusic)
#include "test_music.moc"
