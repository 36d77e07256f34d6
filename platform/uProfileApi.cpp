#include "uProfileApi.h"

#include <windows.h>

#include <vector>

namespace platform {

bool WriteProfileValue(const std::string& fileName, const std::string& section, const std::string& key,
                        const std::string& value)
{
    return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), fileName.c_str()) != FALSE;
}

bool DeleteProfileKey(const std::string& fileName, const std::string& section, const std::string& key)
{
    return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, fileName.c_str()) != FALSE;
}

bool EraseProfileSection(const std::string& fileName, const std::string& section)
{
    return ::WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, fileName.c_str()) != FALSE;
}

void FlushProfile(const std::string& fileName)
{
    // Documented to return FALSE after flushing: there is no result to check.
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName.c_str());
}

namespace {
// GetPrivateProfileStringA reports a full buffer as size - 1 (size - 2 for
// lists); grow until the text fits.
template <class Call>
std::string ReadGrowing(Call call, DWORD slack)
{
    std::vector<char> buffer(1024);
    for (;;) {
        DWORD n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n + slack < buffer.size() || buffer.size() >= (1u << 24))
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 4);
    }
}
} // namespace

std::string ReadProfileValue(const std::string& fileName, const std::string& section, const std::string& key,
                              const std::string& defaultValue)
{
    return ReadGrowing(
        [&](char* buffer, DWORD size) {
            return ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer, size,
                                              fileName.c_str());
        },
        1);
}

std::string ReadProfileNames(const std::string& fileName, const std::string& section)
{
    return ReadGrowing(
        [&](char* buffer, DWORD size) {
            return ::GetPrivateProfileStringA(section.empty() ? nullptr : section.c_str(), nullptr, "", buffer, size,
                                              fileName.c_str());
        },
        2);
}

} // namespace platform
