// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/AppPath.h"

#include <QString>

struct StartupOptions {
    // Folder to take as the game folder instead of the executable's.
    QString gameFolder;
    // Name of the system-wide object that tells a running copy apart.
    QString instanceKey = QStringLiteral("Quorvel.Instance");
};

// The start-up sequence. Returns true when the game is up and driven by the
// main window; false when start-up ended the program (after EndProgram).
bool Main(const StartupOptions& options = {});
