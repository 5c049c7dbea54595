// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/AppPath.h"

QString AppPath;
