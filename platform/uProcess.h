#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace platform {
// Starts the command line (program path first, not quoted) in a new console
// with the given show-window value, waits for it without a time limit and
// returns its exit code; -1 when it cannot be started. With `whileWaiting`,
// the wait also wakes for every message posted or sent to this thread and at
// least every few hundred milliseconds, and calls it: a window thread keeps
// its window alive that way. What it throws leaves the program running.
int RunAndWait(const std::string& commandLine, std::uint16_t showWindow,
               const std::function<void()>& whileWaiting = nullptr);
} // namespace platform
