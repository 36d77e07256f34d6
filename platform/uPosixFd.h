#pragma once
// A POSIX descriptor for TOwner, for the native build's code.
#include "uOwner.h"

#include <unistd.h>

namespace platform::posix {

struct TFdTraits {
    using TValue = int;
    static constexpr int Invalid() noexcept { return -1; }
    static bool IsValid(int fd) noexcept { return fd >= 0; }
    static void Close(int fd) noexcept { ::close(fd); }
};
using TFd = TOwner<TFdTraits>;

} // namespace platform::posix
