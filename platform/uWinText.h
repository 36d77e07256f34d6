#pragma once
// The Win32 edge of wide text: the core keeps UTF-16 in char16_t, Windows
// takes it as wchar_t, which mingw and MSVC make 16 bits wide.
#include <windows.h>

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide text is UTF-16");

namespace platform {

// Text of the ANSI code page, as the program keeps it, for the calls that
// take it wide (security packages, WinHTTP).
inline std::wstring AnsiToWin(const std::string& text)
{
    if (text.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

inline wchar_t* AsWin(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const wchar_t* AsWin(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline const char16_t* AsPortable(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

} // namespace platform
