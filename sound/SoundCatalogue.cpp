// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/QVRPlayFiles.h"

#include "app/Process.h"
#include "app/SubMain.h"
#include "dialogs/DIAM.h"

#include <QDir>
#include <QFileInfo>

namespace LoadingData
{

bool BuildSoundCatalogue()
{
    const QString folder = AppPath + QStringLiteral("sounds") + QDir::separator();
    for (int n = 0; n <= 15; ++n) {
        QString path = folder + QString::number(n + 1) + QStringLiteral(".mid");
        if (n == 13) { // the loading tune is the one MP3
            path.chop(3);
            path += QStringLiteral("mp3");
        }
        if (!QFileInfo(path).isFile()) {
            SMess(QStringLiteral("Отсутствует файл:\r\n") + path, 2, QStringLiteral("not"));
            EndProgram();
            return false;
        }
        SoundFiles[n] = path;
    }
    return true;
}

} // namespace LoadingData
