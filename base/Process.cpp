// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Process.h"

#include <cstdio>
#include <cstdlib>

#if defined(QUORVEL_SANITIZE)
#include <sanitizer/lsan_interface.h>
#endif

namespace
{
std::function<void()>& handler()
{
    static std::function<void()> h;
    return h;
}
} // namespace

void EndProgram()
{
    if (handler()) {
        handler()();
        return;
    }
    std::fflush(nullptr);
#if defined(QUORVEL_SANITIZE)
    // The sanitizer build looks for leaks before the immediate exit (which
    // skips the checks at normal exit); what the windows and tables still
    // hold is reachable and not reported. A leak ends the process with an error.
    __lsan_do_leak_check();
#endif
    std::_Exit(0);
}

void SetEndProgramHandler(std::function<void()> h)
{
    handler() = std::move(h);
}
