// SPDX-License-Identifier: GPL-3.0-or-later
// The built game as a separate process in a check run: it finds its folder
// wherever the folder lies and however it is started.
#include "app/SingleInstance.h"
#include "app/SubMain.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const char* const kComplete = "quorvel: start-up complete in ";

QString gameDir()
{
    return QDir(qEnvironmentVariable("QUORVEL_GAME_DIR")).canonicalPath();
}

QString executable(const QString& folder)
{
#if defined(Q_OS_WIN)
    return folder + "/quorvel.exe";
#else
    return folder + "/quorvel";
#endif
}

QString withSeparator(const QString& folder)
{
    return QDir::toNativeSeparators(folder + "/");
}

struct Run {
    int exitCode = -1;
    QByteArray out;
};

Run checkRun(const QString& program)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVEL_STARTUP_CHECK", "1");
    p.setProcessEnvironment(env);
    p.start(program, {});
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput()};
}

bool copyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    const QDir source(from);
    for (const QFileInfo& entry : source.entryInfoList(QDir::NoDotAndDotDot | QDir::AllEntries)) {
        const QString target = to + "/" + entry.fileName();
        if (entry.isDir() ? !copyTree(entry.filePath(), target)
                          : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}
} // namespace

class TestStartCheck : public QObject
{
    Q_OBJECT

  private slots:
    void builtFolderIsFound()
    {
        const Run run = checkRun(executable(gameDir()));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, kComplete + withSeparator(gameDir()).toLocal8Bit() + "\n");
    }

    void playersCopyDoesNotRefuseACheck()
    {
        // A player's game holds the name meanwhile; the check still reaches its end.
        SingleInstance playing(StartupOptions{}.instanceKey);
        QVERIFY(!playing.anotherIsRunning());
        const Run run = checkRun(executable(gameDir()));
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith(kComplete));
    }

    void copiedFolderIsItsOwn()
    {
        // The folder moves whole, as installation puts it elsewhere.
        QTemporaryDir dir;
        const QString copy = QDir(dir.path()).canonicalPath() + "/game";
        QVERIFY(copyTree(gameDir(), copy));
        QFile::setPermissions(executable(copy),
                              QFile::permissions(executable(gameDir())) | QFile::ExeOwner);
        const Run run = checkRun(executable(copy));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, kComplete + withSeparator(copy).toLocal8Bit() + "\n");
    }

    void symlinkLeadsToTheRealFolder()
    {
#if defined(Q_OS_WIN)
        QSKIP("Windows starts the game through shortcuts, not links");
#else
        // A link on the PATH, as /usr/games/quorvel is, starts the game in its own folder.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("games"));
        // Relative, as the package makes it.
        const QDir games(QDir(dir.path()).canonicalPath() + "/games");
        QVERIFY(
            QFile::link(games.relativeFilePath(executable(gameDir())), games.filePath("quorvel")));
        const Run run = checkRun(dir.path() + "/games/quorvel");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, kComplete + withSeparator(gameDir()).toLocal8Bit() + "\n");
#endif
    }
};

QTEST_MAIN(TestStartCheck)
#include "test_startcheck.moc"
