// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sound/SoundOutput.h"

#include <QEvent>
#include <QString>
#include <QStringList>
#include <memory>

class QObject;

// Two player slots on the one synthesizer of the process (SoundEngine):
// MusicPlayer for music and effects, SecondPlayer for the loading tune. A new
// player (a new serial) is made for every file; the output stream stays open.

// Each event of a music player opened with a receiver (its start, every pass
// that begins again, its end) is delivered to it, on the user-interface
// thread, as an event of this type.
inline constexpr QEvent::Type PlaybackEventType = static_cast<QEvent::Type>(QEvent::User + 512);

enum class AudioOutput {
    Platform,      // the platform's audio output (paced by a clock while it is missing or stalled)
    FastSilent,    // no device clock: files play many times faster than real time (logic tests)
    ClockedSilent, // silent, but in real time (pacing tests, machines without sound)
};
void SetAudioOutput(AudioOutput output);
// Replaces the output by one of the caller's (tests and measurements).
void SetSoundOutput(std::shared_ptr<SoundOutput> output);

// Returns true when the file was read and started; on failure the slot is empty.
// A music player opened with a receiver loops: it starts again on the sample
// after its last one, as the looping check would have it.
bool OpenMusic(const QString& path, QObject* notifyWindow);
void StopMusic();
void KeepMusicLooping();
void WaitForMusicEnd();
bool OpenSecond(const QString& path);
void StopSecond();

// Duration of a playable file in seconds without playing it; negative when unknown.
double MediaDuration(const QString& path);

// What the looping check reads: "running" means that the slot holds a player
// (one that has played to its end stays there); times are in seconds,
// negative when the slot is empty.
bool MusicIsRunning();
double MusicPosition();
double MusicStopTime();
bool SecondIsRunning();
double SecondPosition();

// The General MIDI soundfont of the synthesizer, so that every machine plays
// the same instruments: the first file found among SoundFontPlaces(), empty
// when there is none. It is loaded once per run (once per choice of file).
QString SoundFontPath();
QStringList SoundFontPlaces();
// Replaces the places searched (tests); players opened afterwards use the new choice.
void SetSoundFontPlaces(const QStringList& places);
// How many times a soundfont has been loaded in this run.
int SoundFontLoadCount();
