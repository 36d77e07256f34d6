#pragma once
// Thread identity, for code that must behave differently off the UI thread.
#include <cstdint>

namespace platform {
std::uint32_t CurrentThreadId();
} // namespace platform
