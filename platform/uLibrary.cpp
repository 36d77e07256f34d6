#include "uLibrary.h"

#include <windows.h>

namespace platform {

TModule& TModule::operator=(TModule&& other) noexcept
{
    if (this != &other) {
        Free();
        FModule = other.FModule;
        other.FModule = nullptr;
    }
    return *this;
}

void TModule::Free()
{
    if (FModule)
        ::FreeLibrary(static_cast<HMODULE>(FModule));
    FModule = nullptr;
}

void* TModule::Proc(const char* name) const
{
    if (!FModule)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(FModule), name));
}

TModule LoadLibraryQuiet(const std::string& path, unsigned& error)
{
    UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = ::LoadLibraryA(path.c_str());
    error = module ? 0 : ::GetLastError();
    ::SetErrorMode(previous);
    return TModule(module);
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
