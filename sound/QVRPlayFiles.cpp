// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/QVRPlayFiles.h"

#include "dialogs/DIAM.h"
#include "sound/modMusic.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <chrono>

std::array<QString, 17> SoundFiles;
int MusicOff = 0;
int CurrentTrack = 0;

namespace
{

QPointer<QObject> musicReceiver;

// How long an effect of unknown length is taken to last while the music is off.
constexpr double kUnknownEffectSeconds = 1.5;

bool fileExists(const QString& path)
{
    return QFileInfo(path).isFile();
}

// Why `path` could not be played, as the player is told.
QString failureReason(const QString& path)
{
    QString what;
    if (!fileExists(path))
        what = QStringLiteral("Отсутствует файл:");
    else if (path.endsWith(QStringLiteral(".mid"), Qt::CaseInsensitive) &&
             SoundFontPath().isEmpty())
        what = QStringLiteral("Не найден звуковой шрифт General MIDI для файла:");
    else
        what = QStringLiteral("Не удаётся воспроизвести файл:");
    return what;
}

// Stands in for an effect while the music is off: as long as the effect would
// have lasted, with the windows kept alive.
void pauseAsLongAs(const QString& effect)
{
    double seconds = MediaDuration(effect);
    if (seconds < 0) seconds = kUnknownEffectSeconds;
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(qint64(seconds * 1000)), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

void SetMusicReceiver(QObject* receiver)
{
    musicReceiver = receiver;
}

void PlayMusic(int track)
{
    if (MusicOff != 0) return;
    CurrentTrack = track;
    const QString& path = SoundFiles[track];
    if (!OpenMusic(path, musicReceiver)) {
        ReportFileAndEnd(failureReason(path), path);
        return;
    }
}

void PlayEffect(int track)
{
    const QString& path = SoundFiles[track];
    if (MusicOff != 0) {
        pauseAsLongAs(path);
        return;
    }
    StopMusic();
    if (!fileExists(path)) {
        ReportFileAndEnd(failureReason(path), path);
        return;
    }
    // An effect that exists but does not play is skipped without a word.
    if (OpenMusic(path, nullptr)) WaitForMusicEnd();
}

void PlayOnSecondPlayer(int track)
{
    const QString& path = SoundFiles[track];
    if (!OpenSecond(path)) {
        ReportFileAndEnd(failureReason(path), path);
        return;
    }
}
