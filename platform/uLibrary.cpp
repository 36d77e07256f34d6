#include "uLibrary.h"

#include "uSystemProc.h"

#include <windows.h>

namespace platform {

void TModuleTraits::Close(void* module) noexcept { ::FreeLibrary(static_cast<HMODULE>(module)); }

void* TModule::Proc(const char* name) const
{
    if (!Get())
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(Get()), name));
}

TModule LoadLibraryQuiet(const std::string& path, unsigned& error)
{
    UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = ::LoadLibraryA(path.c_str());
    error = module ? 0 : ::GetLastError();
    ::SetErrorMode(previous);
    return TModule(module);
}

bool RestrictDllSearch()
{
    // Looked up at run time: a Windows 7 without KB2533623 lacks it.
    const auto setDefault = SystemFunction<BOOL(WINAPI*)(DWORD)>("kernel32.dll", "SetDefaultDllDirectories");
    // The current folder leaves the search order even where the call is missing.
    ::SetDllDirectoryA("");
    constexpr DWORD kSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    constexpr DWORD kUserDirs = 0x00000400;  // LOAD_LIBRARY_SEARCH_USER_DIRS
    return setDefault && setDefault(kSystem32 | kUserDirs);
}

bool FindModuleResource(int type, int id, const void*& data, unsigned& size)
{
    HRSRC res = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
    if (!res)
        return false;
    HGLOBAL global = ::LoadResource(nullptr, res);
    data = global ? ::LockResource(global) : nullptr;
    size = ::SizeofResource(nullptr, res);
    return data != nullptr;
}

} // namespace platform

namespace platform {
unsigned UserDefaultLanguageId() { return ::GetUserDefaultLangID(); }
} // namespace platform
