#pragma once
// Text types. AnsiString holds bytes in the system's ANSI code page (CP 1252 on
// a Western system); WideString holds UTF-16 in char16_t on every platform, so
// the core builds natively too; the Win32 edge reinterprets it as wchar_t.
// Every conversion goes through the functions below, so there is one place
// that knows about code pages.
#include <string>
#include <string_view>

using AnsiString = std::string;
using WideChar = char16_t;
using WideString = std::u16string;
using WideStringView = std::u16string_view;
using Utf8String = std::string;


WideString AnsiToWide(std::string_view text);
AnsiString WideToAnsi(WideStringView text);
WideString CodePageToWide(std::string_view text, unsigned codePage);
std::string WideToCodePage(WideStringView text, unsigned codePage);
WideString Utf8ToWide(std::string_view text);
Utf8String WideToUtf8(WideStringView text);
unsigned AnsiCodePage();
