// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The folder of `folder` as the game names data files: always ending in the
// platform's separator, never with a doubled one at a root.
QString WithTrailingSeparator(const QString& folder);

// The folder of the running executable, ending in the separator.
QString AppFolderPath();
