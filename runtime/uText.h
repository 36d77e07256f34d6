#pragma once
// Text types. AnsiString holds bytes in the system's ANSI code page (CP 1252 on
// a Western system); WideString holds UTF-16. Every conversion goes through the
// functions below, so there is one place that knows about code pages.
#include <string>
#include <string_view>

using AnsiString = std::string;
using WideString = std::wstring;
using Utf8String = std::string;

static_assert(sizeof(wchar_t) == 2, "WideString must be UTF-16");

WideString AnsiToWide(std::string_view text);
AnsiString WideToAnsi(std::wstring_view text);
WideString CodePageToWide(std::string_view text, unsigned codePage);
std::string WideToCodePage(std::wstring_view text, unsigned codePage);
WideString Utf8ToWide(std::string_view text);
Utf8String WideToUtf8(std::wstring_view text);
unsigned AnsiCodePage();
