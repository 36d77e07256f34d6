#include "uRegistry.h"

#include "uResStrings.h"
#include "uSysUtils.h"

#include <cstring>
#include <vector>

namespace {
[[noreturn]] void RegError(const TResString& text, const AnsiString& name)
{
    throw ERegistryException(Format(LoadResString(text).c_str(), name.c_str()));
}
} // namespace

TRegistry::TRegistry() = default;

TRegistry::TRegistry(unsigned access) : FAccess(access) {}

TRegistry::~TRegistry()
{
    CloseKey();
}

void TRegistry::SetRootKey(platform::TRegRoot root)
{
    if (root == FRootKey)
        return;
    CloseKey();
    FRootKey = root;
}

// Values are only read and written in an opened key, never in the root by
// accident: without one the platform reports an invalid handle.
void* TRegistry::CurrentKey() const
{
    return FCurrentKey.Get();
}

void* TRegistry::ParentFor(const AnsiString& key, AnsiString& relative) const
{
    if (!key.empty() && key[0] == '\\') {
        relative = key.substr(1);
        return platform::RootKeyHandle(FRootKey);
    }
    relative = key;
    return FCurrentKey ? FCurrentKey.Get() : platform::RootKeyHandle(FRootKey);
}

bool TRegistry::OpenKey(const AnsiString& key, bool canCreate)
{
    AnsiString relative;
    void* parent = ParentFor(key, relative);
    platform::TRegKey opened;
    long r = canCreate && !relative.empty() ? platform::CreateRegKey(parent, relative, FAccess, opened)
                                            : platform::OpenRegKey(parent, relative, FAccess, opened);
    if (r != platform::RegErrorSuccess)
        return false;
    AnsiString path = (key.empty() || key[0] == '\\' || FCurrentPath.empty()) ? relative
                                                                              : FCurrentPath + "\\" + relative;
    CloseKey();
    FCurrentKey = std::move(opened);
    FCurrentPath = ExcludeTrailingBackslash(path);
    return true;
}

bool TRegistry::OpenKeyReadOnly(const AnsiString& key)
{
    unsigned saved = FAccess;
    FAccess = platform::RegKeyRead;
    bool ok = OpenKey(key, false);
    FAccess = saved;
    return ok;
}

void TRegistry::CloseKey()
{
    if (!FCurrentKey)
        return;
    if (!FLazyWrite)
        platform::FlushRegKey(FCurrentKey.Get());
    FCurrentKey.Close();
    FCurrentPath.clear();
}

bool TRegistry::KeyExists(const AnsiString& key)
{
    AnsiString relative;
    void* parent = ParentFor(key, relative);
    platform::TRegKey probe;
    return platform::OpenRegKey(parent, relative, platform::RegKeyRead, probe) == platform::RegErrorSuccess;
}

bool TRegistry::DeleteKey(const AnsiString& key)
{
    AnsiString relative;
    void* parent = ParentFor(key, relative);
    // Deleting the root's whole contents by accident takes one empty name.
    if (relative.empty())
        return false;
    return platform::DeleteRegTree(parent, relative) == platform::RegErrorSuccess;
}

bool TRegistry::ValueExists(const AnsiString& name) const
{
    unsigned type = 0;
    std::uint32_t size = 0;
    return platform::QueryRegValueInfo(CurrentKey(), name, type, size) == platform::RegErrorSuccess;
}

bool TRegistry::DeleteValue(const AnsiString& name)
{
    return platform::DeleteRegValue(CurrentKey(), name) == platform::RegErrorSuccess;
}

AnsiString TRegistry::ReadString(const AnsiString& name) const
{
    unsigned type = 0;
    std::vector<std::uint8_t> data;
    long r = platform::QueryRegValue(CurrentKey(), name, type, data);
    if (r == platform::RegErrorFileNotFound)
        return {};
    if (r != platform::RegErrorSuccess)
        RegError(rs::SRegGetDataFailed, name);
    if (type != platform::RegSz && type != platform::RegExpandSz)
        RegError(rs::SInvalidRegType, name);
    // Stored strings need not carry their terminating zero, and may carry more than one.
    const char* text = reinterpret_cast<const char*>(data.data());
    return AnsiString(text, text ? strnlen(text, data.size()) : 0);
}

std::int32_t TRegistry::ReadInteger(const AnsiString& name) const
{
    unsigned type = 0;
    std::vector<std::uint8_t> data;
    if (platform::QueryRegValue(CurrentKey(), name, type, data) != platform::RegErrorSuccess)
        RegError(rs::SRegGetDataFailed, name);
    if (type != platform::RegDword || data.size() != sizeof(std::int32_t))
        RegError(rs::SInvalidRegType, name);
    std::int32_t value;
    std::memcpy(&value, data.data(), sizeof value);
    return value;
}

void TRegistry::WriteData(const AnsiString& name, unsigned type, const void* data, std::uint32_t size)
{
    if (platform::SetRegValue(CurrentKey(), name, type, data, size) != platform::RegErrorSuccess)
        RegError(rs::SRegSetDataFailed, name);
}

void TRegistry::WriteString(const AnsiString& name, const AnsiString& value)
{
    WriteData(name, platform::RegSz, value.c_str(), static_cast<std::uint32_t>(value.size() + 1));
}

void TRegistry::WriteExpandString(const AnsiString& name, const AnsiString& value)
{
    WriteData(name, platform::RegExpandSz, value.c_str(), static_cast<std::uint32_t>(value.size() + 1));
}

void TRegistry::WriteInteger(const AnsiString& name, std::int32_t value)
{
    WriteData(name, platform::RegDword, &value, sizeof value);
}
