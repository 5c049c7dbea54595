// The sound catalogue and the three playback commands, on real pipelines.
#include "TestSupport.h"
#include "app/Process.h"
#include "app/SubMain.h"
#include "sound/QVRPlayFiles.h"
#include "sound/modMusic.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <gst/gst.h>

#include <atomic>
#include <memory>
#include <vector>

using namespace TestSupport;

namespace {

class Receiver : public QObject {
public:
    int events = 0;
    bool event(QEvent* e) override
    {
        if (e->type() != PlaybackEventType) return QObject::event(e);
        ++events;
        KeepMusicLooping(); // as the main window's hidden box does
        return true;
    }
};

struct SinkRecord {
    std::atomic<bool> released{false};
    std::atomic<bool> ended{false}; // the end of the stream reached the sink
    std::atomic<int> passes{0};
};

void onHandoff(GstElement*, GstBuffer* buffer, GstPad*, gpointer data)
{
    auto* record = static_cast<SinkRecord*>(data);
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

// Records the sink of every player opened while it exists.
class SinkWatch {
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

// Answers the message dialog while a command waits on it: notes its title and
// texts, then presses its button.
class DialogAnswerer : public QObject {
public:
    struct Seen {
        QString title;
        QStringList texts;
    };
    std::vector<Seen> seen;

    DialogAnswerer()
    {
        connect(&timer_, &QTimer::timeout, this, [this] { look(); });
        timer_.start(50);
    }
    bool saw(const QString& text) const
    {
        for (const Seen& s : seen)
            for (const QString& t : s.texts)
                if (t.contains(text)) return true;
        return false;
    }

private:
    QTimer timer_;
    std::vector<QPointer<QWidget>> answered_;

    void look()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || w->windowTitle() != QStringLiteral("Ошибка!")) continue;
            const auto buttons = w->findChildren<QAbstractButton*>();
            QAbstractButton* button = nullptr;
            for (QAbstractButton* b : buttons)
                if (b->isVisible() && b->isEnabled()) button = b;
            if (!button) continue; // not ready for an answer yet
            bool known = false;
            for (const QPointer<QWidget>& a : answered_) known = known || a == w;
            if (!known) {
                answered_.emplace_back(w);
                Seen s{w->windowTitle(), {}};
                for (QLabel* l : w->findChildren<QLabel*>()) s.texts << l->text();
                for (QPlainTextEdit* e : w->findChildren<QPlainTextEdit*>()) s.texts << e->toPlainText();
                for (QTextEdit* e : w->findChildren<QTextEdit*>()) s.texts << e->toPlainText();
                seen.push_back(s);
            }
            button->click();
        }
    }
};

double elapsedSeconds(const QElapsedTimer& t) { return double(t.elapsed()) / 1000.0; }

} // namespace

class TestPlayFiles : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString sounds_; // the game's sounds folder, ending in the separator
    int ended_ = 0;
    QStringList soundFontPlaces_;

    QString soundPath(const QString& name) const { return sounds_ + name; }
    void writeSound(const QString& name, const QByteArray& bytes) { WriteFile(soundPath(name), bytes); }
    void buildCatalogue() { QVERIFY(LoadingData::BuildSoundCatalogue()); }

private slots:
    void initTestCase()
    {
        SetEndProgramHandler([this] { ++ended_; });
        soundFontPlaces_ = SoundFontPlaces();
    }
    void cleanupTestCase() { SetEndProgramHandler({}); }

    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        GameFolderOptions options;
        options.effectSeconds = 0.3;
        options.musicSeconds = 0.5;
        AppPath = MakeGameFolder(dir_->path(), options);
        sounds_ = AppPath + QStringLiteral("sounds") + QDir::separator();
        SoundFiles.fill(QString());
        MusicOff = 0;
        CurrentTrack = 0;
        ended_ = 0;
        SetAudioOutput(AudioOutput::FastSilent);
    }
    void cleanup()
    {
        StopMusic();
        StopSecond();
        SetMusicReceiver(nullptr);
        SetSoundFontPlaces(soundFontPlaces_);
    }

    void catalogueNamesEveryFile()
    {
        DialogAnswerer dialogs;
        QVERIFY(LoadingData::BuildSoundCatalogue());
        for (int n = 0; n <= 15; ++n) {
            const QString name = n == 13 ? QStringLiteral("14.mp3") : QStringLiteral("%1.mid").arg(n + 1);
            QCOMPARE(SoundFiles[n], soundPath(name));
        }
        QVERIFY(SoundFiles[16].isEmpty());
        QCOMPARE(ended_, 0);
        QVERIFY(dialogs.seen.empty());
    }

    void catalogueStopsAtTheFirstMissingFile_data()
    {
        QTest::addColumn<QStringList>("remove");
        QTest::addColumn<QStringList>("add");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<int>("stored"); // entries filled before the report
        QTest::newRow("tune as .mid") << QStringList{"14.mp3"} << QStringList{"14.mid"} << "14.mp3" << 13;
        QTest::newRow("two missing") << QStringList{"9.mid", "3.mid"} << QStringList{} << "3.mid" << 2;
        QTest::newRow("first") << QStringList{"1.mid"} << QStringList{} << "1.mid" << 0;
        QTest::newRow("last") << QStringList{"16.mid"} << QStringList{} << "16.mid" << 15;
        QTest::newRow("a folder") << QStringList{"5.mid"} << QStringList{"5.mid/"} << "5.mid" << 4;
    }
    void catalogueStopsAtTheFirstMissingFile()
    {
        QFETCH(QStringList, remove);
        QFETCH(QStringList, add);
        QFETCH(QString, reported);
        QFETCH(int, stored);
        for (const QString& name : remove) QVERIFY(QFile::remove(soundPath(name)));
        for (const QString& name : add) {
            if (name.endsWith(u'/'))
                QVERIFY(QDir().mkpath(soundPath(name)));
            else
                writeSound(name, MakeMidi(0.2));
        }

        DialogAnswerer dialogs;
        QVERIFY(!LoadingData::BuildSoundCatalogue());
        QCOMPARE(ended_, 1);
        QCOMPARE(int(dialogs.seen.size()), 1);
        QVERIFY(dialogs.saw(QStringLiteral("Отсутствует файл:")));
        QVERIFY2(dialogs.saw(soundPath(reported)), qPrintable(dialogs.seen[0].texts.join(u'|')));
        for (int n = 0; n <= 16; ++n) QCOMPARE(SoundFiles[n].isEmpty(), n >= stored);
    }

    void musicOffSilencesEverything()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        writeSound("5.mid", MakeMidi(1.3, 60));
        writeSound("8.mid", MakeMidi(2.1, 62));
        writeSound("1.mid", MakeMidi(0.6, 76));
        writeSound("3.mid", MakeMidi(2.5, 77));
        buildCatalogue();
        SinkWatch sinks;
        Receiver box;
        SetMusicReceiver(&box);

        PlayMusic(4);
        QCOMPARE(CurrentTrack, 4);
        QCOMPARE(MusicStopTime(), 1.3);
        StopMusic();
        MusicOff = -1;
        const int opened = sinks.count();

        PlayMusic(7);
        QCOMPARE(CurrentTrack, 4);
        QVERIFY(!MusicIsRunning());

        // An effect only pauses, as long as it would have played, with events running.
        bool timerRan = false;
        QTimer::singleShot(100, this, [&] { timerRan = true; });
        QElapsedTimer clock;
        clock.start();
        PlayEffect(0);
        QVERIFY2(elapsedSeconds(clock) >= 0.5, qPrintable(QString::number(elapsedSeconds(clock))));
        QVERIFY(timerRan);
        clock.restart();
        PlayEffect(2); // longer than the pause for an effect of unknown length
        QVERIFY2(elapsedSeconds(clock) >= 2.2, qPrintable(QString::number(elapsedSeconds(clock))));
        QCOMPARE(sinks.count(), opened);
        QVERIFY(!MusicIsRunning());

        // Switched on again, the last track started while it was on comes back.
        MusicOff = 0;
        PlayMusic(CurrentTrack);
        QVERIFY(MusicIsRunning());
        QCOMPARE(MusicStopTime(), 1.3);
        QCOMPARE(ended_, 0);
    }

    void effectEndsTheMusicAndPlaysOnceToItsEnd()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        writeSound("8.mid", MakeMidi(0.3, 60));
        writeSound("2.mid", MakeMidi(0.5, 76));
        buildCatalogue();
        SinkWatch sinks;
        Receiver box;
        SetMusicReceiver(&box);

        PlayMusic(7);
        QTRY_VERIFY(box.events > 0);
        QTRY_VERIFY_WITH_TIMEOUT(sinks[0].passes >= 2, 10000); // the music loops

        QElapsedTimer clock;
        clock.start();
        PlayEffect(1);
        QVERIFY2(elapsedSeconds(clock) >= 0.4, qPrintable(QString::number(elapsedSeconds(clock))));
        QVERIFY(sinks[0].released);
        QVERIFY(MusicPosition() >= MusicStopTime());
        QCOMPARE(MusicStopTime(), 0.5);
        QTest::qWait(300);
        QCOMPARE(sinks.last().passes.load(), 1); // an effect never loops
        QCOMPARE(CurrentTrack, 7);
        QCOMPARE(ended_, 0);
    }

    void loadingTuneIgnoresTheMusicSwitch()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        writeSound("14.mp3", MakeMp3(2.0));
        buildCatalogue();
        MusicOff = -1;
        CurrentTrack = 3;
        PlayOnSecondPlayer(13);
        QVERIFY(SecondIsRunning());
        QCOMPARE(CurrentTrack, 3);
        MusicOff = 0;
        PlayMusic(7);
        QVERIFY(SecondIsRunning());
    }

    void unplayableEffectIsSkippedSilently()
    {
        writeSound("4.mid", QByteArray("this is no music\r\n").repeated(10));
        buildCatalogue();
        DialogAnswerer dialogs;
        PlayMusic(7);
        PlayEffect(3);
        QVERIFY(!MusicIsRunning());
        QTest::qWait(200);
        QCOMPARE(ended_, 0);
        QVERIFY(dialogs.seen.empty());
    }

    // The reports come last: they need the message dialog.
    void failuresAreReportedAndEndTheProgram_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("damage"); // "missing", "junk"
        QTest::addColumn<bool>("withSoundFont");
        QTest::addColumn<QString>("text");
        const QString missing = QStringLiteral("Отсутствует файл:");
        const QString unplayable = QStringLiteral("Не удаётся воспроизвести файл:");
        const QString noFont = QStringLiteral("Не найден звуковой шрифт General MIDI для файла:");
        QTest::newRow("music missing") << "music" << "missing" << true << missing;
        QTest::newRow("music unplayable") << "music" << "junk" << true << unplayable;
        QTest::newRow("music without soundfont") << "music" << "junk" << false << noFont;
        QTest::newRow("music missing without soundfont") << "music" << "missing" << false << missing;
        QTest::newRow("effect missing") << "effect" << "missing" << true << missing;
        QTest::newRow("tune missing") << "second" << "missing" << true << missing;
        QTest::newRow("tune unplayable") << "second" << "junk" << true << unplayable;
    }
    void failuresAreReportedAndEndTheProgram()
    {
        QFETCH(QString, command);
        QFETCH(QString, damage);
        QFETCH(bool, withSoundFont);
        QFETCH(QString, text);
        buildCatalogue();
        const int track = command == "music" ? 7 : command == "effect" ? 0 : 13;
        const QString path = SoundFiles[track];
        if (damage == "missing")
            QVERIFY(QFile::remove(path));
        else
            WriteFile(path, QByteArray("this is no music\r\n").repeated(10));
        if (!withSoundFont) SetSoundFontPlaces({});

        DialogAnswerer dialogs;
        if (command == "music")
            PlayMusic(track);
        else if (command == "effect")
            PlayEffect(track);
        else
            PlayOnSecondPlayer(track);

        QCOMPARE(ended_, 1);
        QCOMPARE(int(dialogs.seen.size()), 1);
        QCOMPARE(dialogs.seen[0].title, QStringLiteral("Ошибка!"));
        QVERIFY2(dialogs.saw(text + QStringLiteral("\n") + path) ||
                     dialogs.saw(text + QStringLiteral("\r\n") + path),
                 qPrintable(dialogs.seen[0].texts.join(u'|')));
        QVERIFY(!MusicIsRunning());
        QVERIFY(!SecondIsRunning());
    }
};

QTEST_MAIN(TestPlayFiles)
#include "test_playfiles.moc"
