#include "uSystemLibrary.h"

#include <windows.h>

#include <string>

namespace platform {

void* SystemLibrary(const wchar_t* name)
{
    HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER) {
        // A Windows 7 without KB2533623 knows no search flags: the full path
        // of the system folder says the same.
        wchar_t folder[MAX_PATH];
        const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return nullptr;
        const std::wstring path = std::wstring(folder, length) + L"\\" + name;
        module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return module;
}

void* SystemProc(const wchar_t* library, const char* proc)
{
    HMODULE module = static_cast<HMODULE>(SystemLibrary(library));
    FARPROC address = module ? ::GetProcAddress(module, proc) : nullptr;
    if (!address) {
        std::string text = "A part of Windows is missing: ";
        for (const wchar_t* c = library; *c; ++c)
            text += static_cast<char>(*c);
        text += " (" + std::string(proc) + ").";
        ::FatalAppExitA(0, text.c_str());
    }
    return reinterpret_cast<void*>(address);
}

} // namespace platform
