#include "uText.h"

#include "platform/uSystem.h"

WideString AnsiToWide(std::string_view text) { return platform::MultiByteToWide(text, platform::CP_ANSI); }
AnsiString WideToAnsi(WideStringView text) { return platform::WideToMultiByte(text, platform::CP_ANSI); }
WideString CodePageToWide(std::string_view text, unsigned codePage) { return platform::MultiByteToWide(text, codePage); }
std::string WideToCodePage(WideStringView text, unsigned codePage) { return platform::WideToMultiByte(text, codePage); }
WideString Utf8ToWide(std::string_view text) { return platform::MultiByteToWide(text, platform::CP_UTF8_); }
Utf8String WideToUtf8(WideStringView text) { return platform::WideToMultiByte(text, platform::CP_UTF8_); }
unsigned AnsiCodePage() { return platform::AnsiCodePage(); }
