// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up as a player meets it: a good folder, a second copy, missing or damaged files.
#include "TestSupport.h"
#include "app/SingleInstance.h"
#include "app/SubMain.h"
#include "app/frmMain.h"
#include "base/Process.h"
#include "content/QuestionBank.h"
#include "sound/QVRPlayFiles.h"
#include "sound/modMusic.h"

#include <QLocalServer>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

class TestStartup : public QObject
{
    Q_OBJECT
    int ended = 0;
    QString key(const char* what) const
    {
        return QStringLiteral("Quorvel.TestStartup.%1.%2")
            .arg(QCoreApplication::applicationPid())
            .arg(what);
    }
    // Runs Main on `folder` while the closer answers its dialogs.
    bool start(const QString& folder, const QString& instanceKey,
               DialogCloser::Seen* report = nullptr)
    {
        DialogCloser closer(nullptr);
        StartupOptions o;
        o.gameFolder = folder;
        o.instanceKey = instanceKey;
        const bool up = Main(o);
        if (report && !closer.seen.isEmpty()) *report = closer.seen.first();
        return up;
    }

  private slots:
    void initTestCase()
    {
        SetAudioOutput(AudioOutput::ClockedSilent);
        SetEndProgramHandler([this] { ++ended; });
    }
    void init() { ended = 0; }

    void goodFolderStartsIdle()
    {
        QTemporaryDir dir;
        MakeGameFolder(dir.path());
        // The splash is up, painted and owned by the main window while the bank loads.
        bool splashSeen = false, splashOwned = false, splashPainted = false;
        QTimer look;
        look.setInterval(5);
        connect(&look, &QTimer::timeout, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->objectName() == QStringLiteral("frmStart") &&
                    MainWindow()) {
                    splashSeen = true;
                    splashOwned =
                        w->windowHandle()->transientParent() == MainWindow()->windowHandle();
                    splashPainted =
                        w->testAttribute(Qt::WA_WState_ExplicitShowHide) && w->isVisible();
                }
        });
        look.start();
        QVERIFY(start(dir.path(), key("good")));
        look.stop();
        if (splashSeen) QVERIFY(splashOwned && splashPainted);
        QCOMPARE(ended, 0);
        frmMain* f = MainWindow();
        QVERIFY(f->Infol->isVisible() && f->Infot->isVisible());
        QVERIFY(f->MnuNewGame->isEnabled());
        QCOMPARE(CurrentTrack, 7);
        QCOMPARE(QuestionCount(0), qint16(3));
        // The text box has the focus, so the context-menu key works at once.
        QCOMPARE(f->focusWidget(), static_cast<QWidget*>(f->Infot));
        QVERIFY(AppPath.endsWith(QDir::separator()));
        QCOMPARE(SoundFiles[13], AppPath + "sounds" + QDir::separator() + "14.mp3");
        // No splash window is left behind.
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!(w->isVisible() && w->windowTitle() == QStringLiteral("Загрузка игры")));
        StopMusic();
        StopSecond();
    }

    void secondCopyIsRefused()
    {
        QTemporaryDir dir;
        MakeGameFolder(dir.path());
        SingleInstance running(key("second"));
        QVERIFY(!running.anotherIsRunning());
        DialogCloser::Seen seen;
        CurrentTrack = -5;
        // While the refusal is up it stands over the main window, which it disables.
        bool sawIt = false, owned = false, mainDisabled = false;
        QTimer look;
        look.setInterval(20);
        connect(&look, &QTimer::timeout, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->objectName() == QStringLiteral("DIAM") && MainWindow()) {
                    sawIt = true;
                    owned = w->windowHandle()->transientParent() == MainWindow()->windowHandle();
                    mainDisabled = !MainWindow()->isEnabled();
                }
        });
        look.start();
        QVERIFY(!start(dir.path(), key("second"), &seen));
        look.stop();
        QVERIFY(sawIt && owned && mainDisabled);
        QCOMPARE(ended, 1);
        QCOMPARE(seen.title, QStringLiteral("Ошибка пользователя."));
        QCOMPARE(seen.text,
                 QStringLiteral("Ты чо делаешь?\nКворвел уже запущен.\nИшь, жадный какой!"));
        QCOMPARE(seen.buttons, QStringList{QStringLiteral("Закрыть")});
        QCOMPARE(CurrentTrack, -5); // nothing was played
        QVERIFY(!MainWindow()->Infol->isVisible());
    }

    // The lock is the user's own: another user's copy, a stranger squatting a
    // name or a socket left by a crash does not refuse the game.
    void lockBelongsToTheUser()
    {
        const QByteArray kept = qgetenv("XDG_RUNTIME_DIR");
        QTemporaryDir mine, theirs;
        qputenv("XDG_RUNTIME_DIR", mine.path().toLocal8Bit());
        const QString k = key("user");
        QVERIFY(SingleInstance::lockName(k).startsWith(mine.path()));
        {
            SingleInstance first(k);
            QVERIFY(!first.anotherIsRunning());
            QVERIFY(SingleInstance(k).anotherIsRunning()); // the same user: refused
            // Another user has another runtime folder: both play.
            qputenv("XDG_RUNTIME_DIR", theirs.path().toLocal8Bit());
            SingleInstance other(k);
            QVERIFY(!other.anotherIsRunning());
            qputenv("XDG_RUNTIME_DIR", mine.path().toLocal8Bit());
        }
        // A stranger holding the name everybody once shared blocks nobody.
        QLocalServer squatter;
        squatter.setSocketOptions(QLocalServer::AbstractNamespaceOption);
        QVERIFY(squatter.listen(k));
        // A socket file left by a crashed copy is taken over.
        QFile stale(SingleInstance::lockName(k));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        {
            SingleInstance after(k);
            QVERIFY(!after.anotherIsRunning());
        }
        // Without a runtime folder the name carries the user's id.
        qunsetenv("XDG_RUNTIME_DIR");
        QVERIFY(SingleInstance::lockName(k) != k);
        {
            SingleInstance fallback(k);
            QVERIFY(!fallback.anotherIsRunning());
            QVERIFY(SingleInstance(k).anotherIsRunning());
        }
        if (!kept.isNull()) qputenv("XDG_RUNTIME_DIR", kept);
    }

    void missingOrDamagedBankIsReported_data()
    {
        QTest::addColumn<QByteArray>("bank");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << QStringLiteral("Отсутствует файл:");
        QTest::newRow("empty") << QByteArray("") << QStringLiteral("Повреждён файл:");
        QByteArray fourteen = MakePlainBank(2);
        fourteen.truncate(fourteen.lastIndexOf('^'));
        QTest::newRow("fourteen levels")
            << MakeBankFile(fourteen, 40) << QStringLiteral("Повреждён файл:");
        QTest::newRow("random bytes")
            << QByteArray(4096, '\x5a') << QStringLiteral("Повреждён файл:");
    }
    void missingOrDamagedBankIsReported()
    {
        QFETCH(QByteArray, bank);
        QFETCH(QString, message);
        QTemporaryDir dir;
        GameFolderOptions o;
        o.withBank = false;
        const QString folder = MakeGameFolder(dir.path(), o);
        if (!bank.isNull()) WriteFile(folder + "questions.qvr", bank);
        DialogCloser::Seen seen;
        QVERIFY(!start(dir.path(), key(QTest::currentDataTag()), &seen));
        QCOMPARE(ended, 1);
        QCOMPARE(seen.title, QStringLiteral("Ошибка!"));
        QCOMPARE(seen.text, message + "\n" + folder + "questions.qvr");
        StopSecond();
    }

    void missingSoundEndsStartUp()
    {
        QTemporaryDir dir;
        const QString folder = MakeGameFolder(dir.path());
        QFile::remove(folder + "sounds/9.mid");
        QFile::remove(folder + "sounds/12.mid");
        DialogCloser::Seen seen;
        QVERIFY(!start(dir.path(), key("sound"), &seen));
        QCOMPARE(ended, 1);
        // The first missing file is named; the later one is never looked at.
        QCOMPARE(seen.text, QStringLiteral("Отсутствует файл:\n") + folder + "sounds" +
                                QDir::separator() + "9.mid");
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
