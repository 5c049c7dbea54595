// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/QVRPlayFiles.h"

#include "base/AppPath.h"
#include "dialogs/DIAM.h"

#include <QDir>
#include <QFileInfo>

QString SoundFileName(int number)
{
    QString name = QStringLiteral("sounds") + QDir::separator() + QString::number(number + 1) +
                   QStringLiteral(".mid");
    if (number == 13) { // the loading tune is the one MP3
        name.chop(3);
        name += QStringLiteral("mp3");
    }
    return name;
}

namespace LoadingData
{

bool BuildSoundCatalogue()
{
    for (int n = 0; n <= 15; ++n) {
        const QString path = AppPath + SoundFileName(n);
        if (!QFileInfo(path).isFile()) {
            ReportFileAndEnd(QStringLiteral("Отсутствует файл:"), path);
            return false;
        }
        SoundFiles[n] = path;
    }
    return true;
}

} // namespace LoadingData
