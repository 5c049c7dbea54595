// SPDX-License-Identifier: GPL-3.0-or-later
// The sound catalogue and the three playback commands, on real pipelines.
#include "TestSupport.h"
#include "base/Process.h"
#include "base/AppPath.h"
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
#include <QtTest>

using namespace TestSupport;

namespace
{

// The main window's hidden box: each notification runs the looping check.
class Receiver : public QObject
{
  public:
    int events = 0;
    bool event(QEvent* e) override
    {
        if (e->type() != PlaybackEventType) return QObject::event(e);
        ++events;
        KeepMusicLooping();
        return true;
    }
};

// Answers the message dialog while a command waits on it: notes its title and
// texts, then presses its button.
class DialogAnswerer : public QObject
{
  public:
    struct Seen {
        QString title;
        QString texts;
    };
    std::vector<Seen> seen;

    DialogAnswerer()
    {
        connect(&timer_, &QTimer::timeout, this, [this] { look(); });
        timer_.start(50);
    }

  private:
    QTimer timer_;
    std::vector<QPointer<QWidget>> answered_;

    void look()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || w->windowTitle() != QStringLiteral("Ошибка!")) continue;
            QAbstractButton* button = nullptr;
            for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
                if (b->isVisible() && b->isEnabled()) button = b;
            if (!button) continue; // not ready for an answer yet
            if (std::find(answered_.begin(), answered_.end(), w) == answered_.end()) {
                answered_.emplace_back(w);
                Seen s{w->windowTitle(), {}};
                for (QLabel* l : w->findChildren<QLabel*>())
                    s.texts += l->text() + u'|';
                for (QPlainTextEdit* e : w->findChildren<QPlainTextEdit*>())
                    s.texts += e->toPlainText() + u'|';
                seen.push_back(s);
            }
            button->click();
        }
    }
};

double elapsedSeconds(const QElapsedTimer& t)
{
    return double(t.elapsed()) / 1000.0;
}

} // namespace

class TestPlayFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString sounds_; // the game's sounds folder, ending in the separator
    int ended_ = 0;
    QStringList soundFontPlaces_;

    QString soundPath(const QString& name) const { return sounds_ + name; }
    void writeSound(const QString& name, const QByteArray& bytes)
    {
        WriteFile(soundPath(name), bytes);
    }
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
        AppPath = MakeGameFolder(dir_->path(), {});
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
        QVERIFY(LoadingData::BuildSoundCatalogue());
        for (int n = 0; n <= 15; ++n) {
            const QString name =
                n == 13 ? QStringLiteral("14.mp3") : QStringLiteral("%1.mid").arg(n + 1);
            QCOMPARE(SoundFiles[n], soundPath(name));
        }
        QVERIFY(SoundFiles[16].isEmpty());
        QCOMPARE(ended_, 0);
    }

    void catalogueStopsAtTheFirstMissingFile_data()
    {
        QTest::addColumn<QStringList>("remove");
        QTest::addColumn<QString>("add");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<int>("stored"); // entries filled before the report
        QTest::newRow("tune as .mid") << QStringList{"14.mp3"} << "14.mid"
                                      << "14.mp3" << 13;
        QTest::newRow("two missing") << QStringList{"9.mid", "3.mid"} << ""
                                     << "3.mid" << 2;
        QTest::newRow("a folder") << QStringList{"1.mid"} << "1.mid/"
                                  << "1.mid" << 0;
    }
    void catalogueStopsAtTheFirstMissingFile()
    {
        QFETCH(QStringList, remove);
        QFETCH(QString, add);
        QFETCH(QString, reported);
        QFETCH(int, stored);
        for (const QString& name : remove)
            QVERIFY(QFile::remove(soundPath(name)));
        if (add.endsWith(u'/'))
            QVERIFY(QDir().mkpath(soundPath(add)));
        else if (!add.isEmpty())
            writeSound(add, MakeMidi(0.2));

        DialogAnswerer dialogs;
        QVERIFY(!LoadingData::BuildSoundCatalogue());
        QCOMPARE(ended_, 1);
        QCOMPARE(int(dialogs.seen.size()), 1);
        QVERIFY2(dialogs.seen[0].texts.contains(QStringLiteral("Отсутствует файл:")) &&
                     dialogs.seen[0].texts.contains(soundPath(reported)),
                 qPrintable(dialogs.seen[0].texts));
        for (int n = 0; n <= 16; ++n)
            QCOMPARE(SoundFiles[n].isEmpty(), n >= stored);
    }

    void musicOffSilencesEverything()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        writeSound("5.mid", MakeMidi(1.3, 60));
        writeSound("1.mid", MakeMidi(0.6, 76));
        writeSound("3.mid", MakeMidi(2.5, 77));
        buildCatalogue();

        PlayMusic(4);
        QCOMPARE(MusicStopTime(), 1.3);
        StopMusic();
        MusicOff = -1;
        PlayMusic(7);
        QCOMPARE(CurrentTrack, 4);
        QVERIFY(!MusicIsRunning());

        // An effect opens no player and pauses as long as it would have played.
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
        QVERIFY(!MusicIsRunning());

        // Switched on again, the last track started while it was on comes back.
        MusicOff = 0;
        PlayMusic(CurrentTrack);
        QVERIFY(MusicIsRunning());
        QCOMPARE(MusicStopTime(), 1.3);
        QCOMPARE(ended_, 0);
    }

    void effectReplacesTheMusicAndPlaysOnce()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        writeSound("2.mid", MakeMidi(0.5, 76));
        buildCatalogue();
        Receiver box;
        SetMusicReceiver(&box);
        PlayMusic(7);
        QTRY_VERIFY(box.events > 0);

        QElapsedTimer clock;
        clock.start();
        PlayEffect(1);
        QVERIFY2(elapsedSeconds(clock) >= 0.4, qPrintable(QString::number(elapsedSeconds(clock))));
        QCOMPARE(MusicStopTime(), 0.5);
        QCOMPARE(MusicPosition(), MusicStopTime());
        QTest::qWait(300);
        QCOMPARE(MusicPosition(), MusicStopTime()); // an effect never loops
        QCOMPARE(CurrentTrack, 7);
        QCOMPARE(ended_, 0);
    }

    void loadingTuneIgnoresTheMusicSwitch()
    {
        buildCatalogue();
        MusicOff = -1;
        CurrentTrack = 3;
        SetAudioOutput(AudioOutput::ClockedSilent);
        PlayOnSecondPlayer(13);
        QVERIFY(SecondIsRunning());
        QCOMPARE(CurrentTrack, 3);
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
        QTest::addColumn<int>("track"); // 7 music, 0 effect, 13 loading tune
        QTest::addColumn<bool>("missing");
        QTest::addColumn<bool>("withSoundFont");
        QTest::addColumn<QString>("text");
        const QString missing = QStringLiteral("Отсутствует файл:");
        const QString unplayable = QStringLiteral("Не удаётся воспроизвести файл:");
        const QString noFont = QStringLiteral("Не найден звуковой шрифт General MIDI для файла:");
        QTest::newRow("music missing") << 7 << true << true << missing;
        QTest::newRow("music unplayable") << 7 << false << true << unplayable;
        QTest::newRow("music, no soundfont") << 7 << false << false << noFont;
        QTest::newRow("music missing, no soundfont") << 7 << true << false << missing;
        QTest::newRow("effect missing") << 0 << true << true << missing;
        QTest::newRow("tune missing") << 13 << true << true << missing;
        QTest::newRow("tune unplayable") << 13 << false << true << unplayable;
    }
    void failuresAreReportedAndEndTheProgram()
    {
        QFETCH(int, track);
        QFETCH(bool, missing);
        QFETCH(bool, withSoundFont);
        QFETCH(QString, text);
        buildCatalogue();
        const QString path = SoundFiles[track];
        if (missing)
            QVERIFY(QFile::remove(path));
        else
            WriteFile(path, QByteArray("this is no music\r\n").repeated(10));
        if (!withSoundFont) SetSoundFontPlaces({});

        DialogAnswerer dialogs;
        if (track == 7)
            PlayMusic(track);
        else if (track == 0)
            PlayEffect(track);
        else
            PlayOnSecondPlayer(track);

        QCOMPARE(ended_, 1);
        QCOMPARE(int(dialogs.seen.size()), 1);
        QCOMPARE(dialogs.seen[0].title, QStringLiteral("Ошибка!"));
        const QString& shown = dialogs.seen[0].texts;
        QVERIFY2(shown.contains(text + QStringLiteral("\n") + path) ||
                     shown.contains(text + QStringLiteral("\r\n") + path),
                 qPrintable(shown));
        QVERIFY(!MusicIsRunning());
        QVERIFY(!SecondIsRunning());
    }
};

QTEST_MAIN(TestPlayFiles)
#include "test_playfiles.moc"
