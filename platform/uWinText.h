#pragma once
// The Win32 edge of wide text: the core keeps UTF-16 in char16_t, Windows
// takes it as wchar_t, which mingw and MSVC make 16 bits wide.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide text is UTF-16");

namespace platform {

inline wchar_t* AsWin(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const wchar_t* AsWin(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline const char16_t* AsPortable(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

} // namespace platform
