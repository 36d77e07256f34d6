#pragma once
// The registry calls the runtime's TRegistry needs, with a move-only key owner.
// Results are Win32 error codes (0 = success), so the caller decides what is a
// failure worth reporting.
#include "uOwner.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The predefined root keys, by their HKEY values.
using TRegRoot = std::uintptr_t;
inline constexpr TRegRoot RegClassesRoot = 0x80000000u;
inline constexpr TRegRoot RegCurrentUser = 0x80000001u;
inline constexpr TRegRoot RegLocalMachine = 0x80000002u;
inline constexpr TRegRoot RegUsers = 0x80000003u;

// Access rights.
inline constexpr unsigned RegKeyQueryValue = 0x0001;
inline constexpr unsigned RegKeySetValue = 0x0002;
inline constexpr unsigned RegKeyRead = 0x20019;
inline constexpr unsigned RegKeyWrite = 0x20006;
inline constexpr unsigned RegKeyAllAccess = 0xF003F;

// Value types.
enum TRegType : unsigned {
    RegNone = 0,
    RegSz = 1,
    RegExpandSz = 2,
    RegBinary = 3,
    RegDword = 4,
    RegMultiSz = 7,
    RegQword = 11,
};

// Error codes the callers tell apart.
inline constexpr long RegErrorSuccess = 0;
inline constexpr long RegErrorFileNotFound = 2;
inline constexpr long RegErrorAccessDenied = 5;

void* RootKeyHandle(TRegRoot root);

// An opened registry key; closing a predefined root key is a no-op.
struct TRegKeyTraits {
    using TValue = void*;
    static constexpr void* Invalid() noexcept { return nullptr; }
    static void Close(void* key) noexcept;
};
using TRegKey = TOwner<TRegKeyTraits>;

// RegCreateKeyExA, non-volatile: opens the key, creating it with any missing
// parents when it does not exist.
long CreateRegKey(void* parent, const std::string& subKey, unsigned access, TRegKey& key);
// RegOpenKeyExA.
long OpenRegKey(void* parent, const std::string& subKey, unsigned access, TRegKey& key);
long FlushRegKey(void* key);
// RegDeleteTreeA of the sub-key and everything below it.
long DeleteRegTree(void* parent, const std::string& subKey);

// RegQueryValueExA: the value's type and its bytes as stored.
long QueryRegValue(void* key, const std::string& name, unsigned& type, std::vector<std::uint8_t>& data);
// Only the type and size, for existence tests.
long QueryRegValueInfo(void* key, const std::string& name, unsigned& type, std::uint32_t& size);
long SetRegValue(void* key, const std::string& name, unsigned type, const void* data, std::uint32_t size);
long DeleteRegValue(void* key, const std::string& name);

} // namespace platform
