// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Shows the help text in the help window and returns when it has been closed.
void DIAH(const QString& hText, const QString& hTitle);
