#pragma once
#include <cstdint>
#include <string>

namespace platform {
// Starts the command line (program path first, not quoted) in a new console
// with the given show-window value, waits for it without a time limit and
// returns its exit code; -1 when it cannot be started.
int RunAndWait(const std::string& commandLine, std::uint16_t showWindow);
} // namespace platform
