#pragma once
// What the POSIX implementation shares. Code pages for the native build: Windows-1252 (the ANSI code page of a
// Western system) and UTF-8 exactly as Windows converts them, every other
// code page through the C library's iconv.
#include <string>
#include <string_view>

namespace platform::posix {

inline constexpr unsigned AnsiCodePage = 1252;
// CP_OEMCP: the OEM code page of the same Western system.
inline constexpr unsigned OemCodePage = 850;

// Returns false only for a code page the system does not know.
bool Decode(std::string_view text, unsigned codePage, std::u16string& result);
std::string Encode(std::u16string_view text, unsigned codePage);
unsigned char UpperAnsi(unsigned char c);
unsigned char LowerAnsi(unsigned char c);

int Descriptor(void* handle);
void* HandleOf(int fd);

// The core builds Windows paths ("folder\\name"); a backslash is a separator
// here too.
std::string NativePath(const std::string& path);

} // namespace platform::posix
