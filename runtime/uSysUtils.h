#pragma once
// Small text and path helpers in the style the rest of the code expects.
#include "uText.h"

#include <cstdint>

// printf-style formatting into an AnsiString ("%d", "%s", ...).
AnsiString Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

AnsiString UpperCase(std::string_view text);     // ASCII letters only
AnsiString LowerCase(std::string_view text);     // ASCII letters only
AnsiString AnsiUpperCase(std::string_view text); // code-page aware
int CompareText(std::string_view a, std::string_view b);     // ASCII, case-insensitive
bool SameText(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b); // locale, case-insensitive
int AnsiCompareStr(std::string_view a, std::string_view b);  // locale, case-sensitive
AnsiString Trim(std::string_view text);
AnsiString IntToStr(std::int64_t value);
// Strict decimal integer; false for empty text, junk or overflow.
bool TryStrToInt(std::string_view text, int& value);
bool TryStrToInt64(std::string_view text, std::int64_t& value);

AnsiString IncludeTrailingBackslash(std::string_view path);
AnsiString ExcludeTrailingBackslash(std::string_view path);
AnsiString ExtractFilePath(std::string_view path); // folder part with its trailing backslash
AnsiString ExtractFileName(std::string_view path);

bool FileExists(const AnsiString& path);
bool DirectoryExists(const AnsiString& path);
bool ForceDirectories(const AnsiString& path);
bool DeleteFile(const AnsiString& path);

// The message of the last Win32 error, for reports.
AnsiString SysErrorMessage(unsigned code);
unsigned GetLastOSError();
[[noreturn]] void RaiseLastOSError();
