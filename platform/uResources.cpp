#include "uResources.h"

#include "uWinText.h"

#include <windows.h>

namespace platform {

bool LoadStringW(int id, std::u16string& text)
{
    // With a zero buffer size LoadStringW hands out a pointer into the
    // resource itself, so no length guess is needed.
    const wchar_t* p = nullptr;
    int n = ::LoadStringW(::GetModuleHandleW(nullptr), static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&p), 0);
    if (n <= 0 || !p)
        return false;
    text.assign(AsPortable(p), static_cast<size_t>(n));
    return true;
}

bool LoadStringA(int id, std::string& text)
{
    std::u16string wide;
    if (!LoadStringW(id, wide))
        return false;
    int n = ::WideCharToMultiByte(CP_ACP, 0, AsWin(wide.data()), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    text.assign(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, AsWin(wide.data()), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return true;
}

} // namespace platform
