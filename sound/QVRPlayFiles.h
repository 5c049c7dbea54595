// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>

class QObject;

// Sound number N (0 to 15) is sounds/<N+1>.mid, number 13 is sounds/14.mp3.
extern std::array<QString, 17> SoundFiles;
extern int MusicOff;     // 0 music on, -1 off
extern int CurrentTrack; // last track started by PlayMusic while the music was on

// The hidden box of the main window that receives the music player's notifications.
void SetMusicReceiver(QObject* receiver);

void PlayMusic(int track);
void PlayEffect(int track);
void PlayOnSecondPlayer(int track);

namespace LoadingData
{
// Fills SoundFiles; a missing file is reported and ends the program (false).
bool BuildSoundCatalogue();
} // namespace LoadingData
