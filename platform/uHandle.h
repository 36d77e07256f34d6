#pragma once
// The owner of a kernel object (file, process, thread, mapping) as the layers
// above see it: an opaque value, closed by the platform's implementation (a
// Win32 handle in the product, a descriptor in the native build).
#include "uOwner.h"

namespace platform {

// Invalid is either null or INVALID_HANDLE_VALUE, as the Win32 calls return
// one or the other.
struct THandleTraits {
    using TValue = void*;
    static constexpr void* Invalid() noexcept { return nullptr; }
    static bool IsValid(void* handle) noexcept;
    static void Close(void* handle) noexcept;
};

using TOwnedHandle = TOwner<THandleTraits>;

} // namespace platform
