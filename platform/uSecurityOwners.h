#pragma once
// Owners of the security packages' handles, for TLS and for proxy logons.
// The handles are two-word records released through a pointer; a record is
// owned once the call that filled it succeeded.
#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include "uOwner.h"

#include <windows.h>

#include <security.h>

namespace platform::win {

struct TCredentialsTraits {
    using TValue = CredHandle*;
    static constexpr CredHandle* Invalid() noexcept { return nullptr; }
    static void Close(CredHandle* handle) noexcept { ::FreeCredentialsHandle(handle); }
};
struct TContextTraits {
    using TValue = CtxtHandle*;
    static constexpr CtxtHandle* Invalid() noexcept { return nullptr; }
    static void Close(CtxtHandle* handle) noexcept { ::DeleteSecurityContext(handle); }
};

} // namespace platform::win
