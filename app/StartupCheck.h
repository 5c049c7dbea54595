// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct StartupOptions;

// A check run of an installed game: with QUORVEL_STARTUP_CHECK set in the
// environment the game plays silently, and once start-up is complete it prints
// one line naming its game folder and ends. Players never set it.
namespace StartupCheck
{
// True when the variable is set; the sound output is then made silent, and the
// run gets an instance name of its own, so that a player's copy does not refuse it.
bool Begin(StartupOptions& options);
// Prints "quorvel: start-up complete in FOLDER" and ends the program.
void Finish();
} // namespace StartupCheck
