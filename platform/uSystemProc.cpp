#include "uSystemProc.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace platform {

namespace {
std::atomic<TProcLookup> GLookup{nullptr};

HMODULE SystemModule(const char* module)
{
    if (HMODULE loaded = ::GetModuleHandleA(module))
        return loaded;
    constexpr DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    if (HMODULE loaded = ::LoadLibraryExA(module, nullptr, kSearchSystem32))
        return loaded;
    if (::GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    // A system without the search flags: the full path says the same.
    char folder[MAX_PATH];
    const UINT n = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    return ::LoadLibraryA((std::string(folder) + "\\" + module).c_str());
}
} // namespace

void* DefaultSystemProc(const char* module, const char* name)
{
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE handle = SystemModule(module);
    ::SetErrorMode(previous);
    return handle ? reinterpret_cast<void*>(::GetProcAddress(handle, name)) : nullptr;
}

void* SystemProc(const char* module, const char* name)
{
    const TProcLookup lookup = GLookup.load();
    return lookup ? lookup(module, name) : DefaultSystemProc(module, name);
}

TProcLookup SetProcLookup(TProcLookup lookup) { return GLookup.exchange(lookup); }

} // namespace platform
