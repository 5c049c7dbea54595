// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/AllCorrector.h"

#include <QCoreApplication>
#include <QDir>

QString WithTrailingSeparator(const QString& folder)
{
    QString native = QDir::toNativeSeparators(folder);
    const QChar sep = QDir::separator();
    if (!native.endsWith(sep)) native += sep;
    return native;
}

QString AppFolderPath()
{
    return WithTrailingSeparator(QCoreApplication::applicationDirPath());
}
