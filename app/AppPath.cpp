// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SubMain.h"

QString AppPath;
