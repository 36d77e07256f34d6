#pragma once
// Free space of the drive a folder lies on, as the user may use it (quotas
// counted).
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Bytes free for this user on the volume that holds `path`. The folder need
// not exist yet: its nearest existing parent (at last the drive's root)
// is asked. Empty when the volume cannot tell.
std::optional<std::uint64_t> FreeDiskSpace(const std::string& path);

} // namespace platform
