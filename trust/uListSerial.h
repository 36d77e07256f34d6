#pragma once
// The highest component-list serial this user's wizard has accepted, kept in
// the registry, so that an older signed list replayed later is refused.
#include "trust/uManifest.h"

#include <cstdint>

namespace listserial {

inline constexpr const char* RegistryKey = "Software\\Tolvek\\KORVANT Setup";
inline constexpr const char* RegistryValue = "ComponentListSerial";

// 0 when nothing was remembered (or the value is not ours).
std::uint64_t Remembered();
// Keeps `serial` when it is higher than what is remembered; a registry that
// cannot be written leaves the minimum built in as the only floor.
void Remember(std::uint64_t serial);

// Whether `list` may be used under `minimum` and the remembered serial; an
// accepted list's serial is remembered.
bool Accept(const TManifest& list, std::uint64_t minimum);

} // namespace listserial
