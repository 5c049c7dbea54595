// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

// Ends the process at once: no clean-up, no unload handlers.
// Callers return right after it, so that a test handler can stand in.
void EndProgram();

// For tests: called instead of ending the process. An empty function restores the default.
void SetEndProgramHandler(std::function<void()> handler);
