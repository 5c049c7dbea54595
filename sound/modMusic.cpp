// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/modMusic.h"

#include "sound/PlatformOutput.h"
#include "sound/PulseOutput.h"
#include "sound/SoundEngine.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

namespace
{

constexpr int MusicPlayer = 0;
constexpr int SecondPlayer = 1;
// A wait gives up this long after the track should have ended: a guard, never reached.
constexpr qint64 kWaitGraceMs = 2000;

// What the user-interface thread keeps of each slot's player.
struct PlayerSlot {
    quint64 serial = 0; // 0: empty
    QPointer<QObject> receiver;
    std::vector<QPointer<QEventLoop>> waits;

    void endWaits()
    {
        for (const QPointer<QEventLoop>& loop : waits)
            if (loop) loop->quit();
        waits.clear();
    }
};

PlayerSlot players[2];
AudioOutput audioOutput = AudioOutput::Platform;
std::optional<QStringList> soundFontPlaces;
std::optional<QString> soundFont;
bool engineWired = false;

std::shared_ptr<SoundOutput> makeOutput(AudioOutput kind)
{
    switch (kind) {
    case AudioOutput::FastSilent:
        return std::make_shared<RecordingOutput>(SoundOutput::Pacing::Fast);
    case AudioOutput::ClockedSilent:
        return std::make_shared<RecordingOutput>(SoundOutput::Pacing::Clock);
    case AudioOutput::Platform:
        break;
    }
#ifdef Q_OS_LINUX
    return std::make_shared<PulseOutput>();
#else
    return std::make_shared<PlatformOutput>();
#endif
}

// On the user-interface thread: a note of the player `serial` has arrived.
void deliver(int slot, quint64 serial, SoundEngine::Note note)
{
    PlayerSlot& player = players[slot];
    if (player.serial != serial) return; // stopped or replaced since the note was posted
    if (note == SoundEngine::Note::Ended) player.endWaits();
    if (QObject* receiver = player.receiver) {
        QEvent event(PlaybackEventType);
        QCoreApplication::sendEvent(receiver, &event);
    }
}

// On the audio thread: only hands the note over to the user-interface thread.
void post(int slot, quint64 serial, SoundEngine::Note note)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [slot, serial, note] { deliver(slot, serial, note); }, Qt::QueuedConnection);
}

SoundEngine& engine()
{
    SoundEngine& e = SoundEngine::instance();
    static const bool wired = [&e] {
        engineWired = true;
        e.setNotifier(&post);
        e.setOutput(makeOutput(audioOutput));
        // Nothing is posted to an application that is going away, and the device is let go.
        qAddPostRoutine([] {
            SoundEngine::instance().setNotifier({});
            SoundEngine::instance().setOutput(nullptr);
        });
        return true;
    }();
    Q_UNUSED(wired);
    return e;
}

void stopSlot(int slot)
{
    engine().stop(slot);
    players[slot].serial = 0;
    players[slot].receiver = nullptr;
    players[slot].endWaits();
}

// Both slots: the old player goes first, and a failure leaves the slot empty.
bool openSlot(int slot, const QString& path, QObject* receiver)
{
    stopSlot(slot);
    std::shared_ptr<const LoadedSound> sound = engine().load(path);
    if (!sound) return false;
    if (sound->isMidi() && !engine().midiReady()) return false;
    players[slot].receiver = receiver;
    players[slot].serial = engine().start(slot, std::move(sound), receiver != nullptr);
    return true;
}

} // namespace

void SetAudioOutput(AudioOutput output)
{
    audioOutput = output;
    if (engineWired) engine().setOutput(makeOutput(output));
}

void SetSoundOutput(std::shared_ptr<SoundOutput> output)
{
    engine().setOutput(std::move(output));
}

bool OpenMusic(const QString& path, QObject* notifyWindow)
{
    return openSlot(MusicPlayer, path, notifyWindow);
}

void StopMusic()
{
    stopSlot(MusicPlayer);
}

void KeepMusicLooping()
{
    const SoundEngine::Status status = engine().status(MusicPlayer);
    if (status.state == SoundEngine::State::Empty) return;
    if (status.position == status.stopTime) engine().rewind(MusicPlayer);
}

void WaitForMusicEnd()
{
    const SoundEngine::Status status = engine().status(MusicPlayer);
    if (status.state != SoundEngine::State::Playing) return;
    const qint64 limitMs =
        qint64((status.stopTime - std::max(status.position, 0.0)) * 1000) + kWaitGraceMs;
    QEventLoop loop;
    PlayerSlot& player = players[MusicPlayer];
    std::erase_if(player.waits, [](const QPointer<QEventLoop>& wait) { return wait.isNull(); });
    player.waits.emplace_back(&loop);
    QTimer::singleShot(std::chrono::milliseconds(limitMs), &loop, &QEventLoop::quit);
    loop.exec();
}

bool OpenSecond(const QString& path)
{
    return openSlot(SecondPlayer, path, nullptr);
}

void StopSecond()
{
    stopSlot(SecondPlayer);
}

double MediaDuration(const QString& path)
{
    const std::shared_ptr<const LoadedSound> sound = engine().load(path);
    return sound ? sound->lengthSeconds() : -1.0;
}

bool MusicIsRunning()
{
    return engine().status(MusicPlayer).state != SoundEngine::State::Empty;
}
double MusicPosition()
{
    return engine().status(MusicPlayer).position;
}
double MusicStopTime()
{
    return engine().status(MusicPlayer).stopTime;
}
bool SecondIsRunning()
{
    return engine().status(SecondPlayer).state != SoundEngine::State::Empty;
}
double SecondPosition()
{
    return engine().status(SecondPlayer).position;
}

QStringList SoundFontPlaces()
{
    if (soundFontPlaces) return *soundFontPlaces;
#ifdef Q_OS_WIN
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/TimGM6mb.sf2")};
#else
    return {
        QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"),
        QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2"),
        QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2"),
        QStringLiteral("/usr/share/soundfonts/default.sf2"),
        QStringLiteral("/usr/share/soundfonts/FluidR3_GM.sf2"),
        QStringLiteral("/usr/local/share/soundfonts/default.sf2"),
    };
#endif
}

void SetSoundFontPlaces(const QStringList& places)
{
    soundFontPlaces = places;
    soundFont.reset();
}

QString SoundFontPath()
{
    if (!soundFont) {
        soundFont = QString();
        for (const QString& place : SoundFontPlaces()) {
            const QFileInfo file(place);
            if (file.isFile() && file.isReadable()) {
                soundFont = place;
                break;
            }
        }
    }
    return *soundFont;
}

int SoundFontLoadCount()
{
    return engine().soundFontLoads();
}
