// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartupCheck.h"

#include "app/Process.h"
#include "app/SubMain.h"
#include "sound/modMusic.h"

#include <QDir>
#include <QtGlobal>
#include <cstdio>

namespace StartupCheck
{
bool Begin()
{
    if (!qEnvironmentVariableIsSet("QUORVEL_STARTUP_CHECK")) return false;
    // Clocked, so that start-up keeps the pacing it has with a sound card.
    SetAudioOutput(AudioOutput::ClockedSilent);
    return true;
}

void Finish()
{
    const QByteArray folder = QDir::toNativeSeparators(AppPath).toLocal8Bit();
    std::printf("quorvel: start-up complete in %s\n", folder.constData());
    EndProgram();
}
} // namespace StartupCheck
