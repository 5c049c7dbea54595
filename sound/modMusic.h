// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEvent>
#include <QString>
#include <QStringList>
#include <functional>

class QObject;
struct _GstElement;

// Two player slots over GStreamer playbin: MusicPlayer for music and effects,
// SecondPlayer for the loading tune. A new pipeline is built for every file.

// Each bus message of a music player opened with a receiver is delivered to it,
// on the user-interface thread, as an event of this type.
inline constexpr QEvent::Type PlaybackEventType = static_cast<QEvent::Type>(QEvent::User + 512);

enum class AudioOutput {
    Platform,      // the platform's audio output (falls back to a clocked silent sink)
    FastSilent,    // no clock: files play as fast as they decode (logic tests)
    ClockedSilent, // silent, but in real time (pacing tests, machines without sound)
};
void SetAudioOutput(AudioOutput output);

// Returns true when the file was rendered and started; on failure the slot is empty.
bool OpenMusic(const QString& path, QObject* notifyWindow);
void StopMusic();
void KeepMusicLooping();
void WaitForMusicEnd();
bool OpenSecond(const QString& path);
void StopSecond();

// Duration of a playable file in seconds without playing it; negative when unknown.
double MediaDuration(const QString& path);

// What the looping check reads: "running" is the state asked with the 100 ms
// time-out; times are in seconds, negative when unknown or the slot is empty.
bool MusicIsRunning();
double MusicPosition();
double MusicStopTime();
bool SecondIsRunning();
double SecondPosition();

// The General MIDI soundfont given to every MIDI decoder, so that every machine
// plays the same instruments: the first file found among SoundFontPlaces(),
// empty when there is none.
QString SoundFontPath();
QStringList SoundFontPlaces();
// Replaces the places searched (tests); players opened afterwards use the new choice.
void SetSoundFontPlaces(const QStringList& places);

// Receives the audio sink of every player opened from now on, on the
// user-interface thread before the file is rendered (tests and measurements).
void SetAudioSinkObserver(std::function<void(_GstElement* sink)> observer);
