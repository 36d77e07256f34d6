#include "uDrives.h"

#include <windows.h>
#include <winnetwk.h>

#include <vector>

namespace platform {

bool IsHardDrive(const std::string& root)
{
    UINT type = ::GetDriveTypeA(root.c_str());
    return type == DRIVE_FIXED || type == DRIVE_REMOTE || type == DRIVE_RAMDISK;
}

bool DriveExists(const std::string& root)
{
    UINT type = ::GetDriveTypeA(root.c_str());
    return type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR;
}

std::string VolumeLabel(const std::string& root)
{
    char label[MAX_PATH + 1] = "";
    UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS);
    if (!::GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0))
        label[0] = 0;
    ::SetErrorMode(previous);
    return label;
}

std::string FullPathName(const std::string& path)
{
    DWORD n = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::vector<char> buffer(n + 1);
    n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    return n ? std::string(buffer.data(), n) : path;
}

std::string UniversalName(const std::string& path)
{
    if (path.size() < 2 || path[1] != ':')
        return path;
    std::string root = path.substr(0, 2) + "\\";
    if (::GetDriveTypeA(root.c_str()) != DRIVE_REMOTE)
        return path;
    std::vector<char> buffer(2048);
    DWORD size = static_cast<DWORD>(buffer.size());
    if (::WNetGetUniversalNameA(path.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(), &size) != NO_ERROR)
        return path;
    return reinterpret_cast<UNIVERSAL_NAME_INFOA*>(buffer.data())->lpUniversalName;
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix)
{
    char name[MAX_PATH + 1];
    if (!::GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, name))
        return {};
    return name;
}

std::string TempPath()
{
    char path[MAX_PATH + 1];
    DWORD n = ::GetTempPathA(sizeof path, path);
    return n && n <= MAX_PATH ? std::string(path, n) : std::string();
}

std::int64_t FileSize(void* handle)
{
    LARGE_INTEGER size;
    return ::GetFileSizeEx(handle, &size) ? size.QuadPart : -1;
}

} // namespace platform
