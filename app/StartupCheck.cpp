// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartupCheck.h"

#include "app/SubMain.h"
#include "base/Process.h"
#include "sound/modMusic.h"

#include <QCoreApplication>
#include <QDir>
#include <QtGlobal>
#include <cstdio>

namespace StartupCheck
{
bool Begin(StartupOptions& options)
{
    if (!qEnvironmentVariableIsSet("QUORVEL_STARTUP_CHECK")) return false;
    // Clocked, so that start-up keeps the pacing it has with a sound card.
    SetAudioOutput(AudioOutput::ClockedSilent);
    options.instanceKey += QStringLiteral(".Check.%1").arg(QCoreApplication::applicationPid());
    return true;
}

void Finish()
{
    const QByteArray folder = QDir::toNativeSeparators(AppPath).toLocal8Bit();
    std::printf("quorvel: start-up complete in %s\n", folder.constData());
    EndProgram();
}
} // namespace StartupCheck
