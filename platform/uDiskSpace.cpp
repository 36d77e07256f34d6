#include "uDiskSpace.h"

#include "uSystem.h"

#include <windows.h>

namespace platform {

std::optional<std::uint64_t> FreeDiskSpace(const std::string& path)
{
    std::string folder = path;
    // Walk up to a folder that exists: the install folder is asked about
    // before it is made.
    while (!folder.empty() && !DirectoryExists(folder)) {
        while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
            folder.pop_back();
        std::size_t cut = folder.find_last_of("\\/");
        if (cut == std::string::npos)
            break;
        folder.resize(cut + 1);
    }
    if (folder.empty())
        return std::nullopt;
    if (folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    std::u16string wide = MultiByteToWide(folder, CP_ANSI);
    std::wstring name(wide.begin(), wide.end());
    ULARGE_INTEGER available{}, total{}, free{};
    UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    BOOL ok = ::GetDiskFreeSpaceExW(name.c_str(), &available, &total, &free);
    ::SetErrorMode(previous);
    if (!ok)
        return std::nullopt;
    return available.QuadPart;
}

} // namespace platform
