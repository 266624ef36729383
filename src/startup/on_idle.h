#pragma once

#include <string>

#include "startup/command_line.h"

namespace larkspill {

// `larkspill --on-idle MINUTES`: stays in the session and starts the full-screen saver, as its
// child, once the desktop has seen that many minutes without input, and again after each later
// stretch; writes or removes the autostart entry first when asked. `--no-autostart` alone only
// removes the entry. `program` is the saver's program, run with "/s" and named in the entry.
// Returns the exit status: a signal ends it (128 + the signal), and the saver it started with it.
int RunOnIdle(const StartupOptions& options, const std::string& program);

}  // namespace larkspill
