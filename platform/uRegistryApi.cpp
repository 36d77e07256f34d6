#include "uRegistryApi.h"

#include <windows.h>

namespace platform {

namespace {
bool IsPredefined(void* key)
{
    auto value = reinterpret_cast<std::uintptr_t>(key);
    return value >= 0x80000000u && value <= 0x800000FFu;
}
} // namespace

void* RootKeyHandle(TRegRoot root)
{
    return reinterpret_cast<void*>(root);
}

void TRegKeyTraits::Close(void* key) noexcept
{
    if (!IsPredefined(key))
        ::RegCloseKey(static_cast<HKEY>(key));
}

long CreateRegKey(void* parent, const std::string& subKey, unsigned access, TRegKey& key)
{
    HKEY result = nullptr;
    DWORD disposition = 0;
    LONG r = ::RegCreateKeyExA(static_cast<HKEY>(parent), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               access, nullptr, &result, &disposition);
    if (r == ERROR_SUCCESS)
        key = TRegKey(result);
    return r;
}

long OpenRegKey(void* parent, const std::string& subKey, unsigned access, TRegKey& key)
{
    HKEY result = nullptr;
    LONG r = ::RegOpenKeyExA(static_cast<HKEY>(parent), subKey.c_str(), 0, access, &result);
    if (r == ERROR_SUCCESS)
        key = TRegKey(result);
    return r;
}

long FlushRegKey(void* key)
{
    return ::RegFlushKey(static_cast<HKEY>(key));
}

long DeleteRegTree(void* parent, const std::string& subKey)
{
    return ::RegDeleteTreeA(static_cast<HKEY>(parent), subKey.c_str());
}

long QueryRegValueInfo(void* key, const std::string& name, unsigned& type, std::uint32_t& size)
{
    DWORD t = REG_NONE;
    DWORD n = 0;
    LONG r = ::RegQueryValueExA(static_cast<HKEY>(key), name.c_str(), nullptr, &t, nullptr, &n);
    type = t;
    size = n;
    return r;
}

long QueryRegValue(void* key, const std::string& name, unsigned& type, std::vector<std::uint8_t>& data)
{
    // The value may grow between asking its size and reading it: ask again,
    // a few times, not forever.
    LONG r = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 8 && r == ERROR_MORE_DATA; ++attempt) {
        std::uint32_t size = 0;
        r = QueryRegValueInfo(key, name, type, size);
        if (r != ERROR_SUCCESS)
            return r;
        data.resize(size);
        DWORD t = REG_NONE;
        DWORD n = size;
        r = ::RegQueryValueExA(static_cast<HKEY>(key), name.c_str(), nullptr, &t, data.empty() ? nullptr : data.data(), &n);
        if (r == ERROR_MORE_DATA)
            continue;
        type = t;
        if (r == ERROR_SUCCESS)
            data.resize(n < data.size() ? n : data.size());
        return r;
    }
    return r;
}

long SetRegValue(void* key, const std::string& name, unsigned type, const void* data, std::uint32_t size)
{
    return ::RegSetValueExA(static_cast<HKEY>(key), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

long DeleteRegValue(void* key, const std::string& name)
{
    return ::RegDeleteValueA(static_cast<HKEY>(key), name.c_str());
}

} // namespace platform
