// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The folder of the executable, ending in the separator; every data file is
// AppPath followed by a relative name. Set once at start-up.
extern QString AppPath;
