#pragma once
// Text helpers shared by the URL, header and cookie code. Positions are byte
// offsets; searches treat a double-byte character of the ANSI code page as one
// unit, so a trail byte is never mistaken for a delimiter.
#include "runtime/uText.h"

#include <cstdint>
#include <string_view>

namespace net {

inline constexpr size_t npos = std::string_view::npos;

// Offset of the first occurrence of `what` at or after `start`, or npos.
size_t Pos(std::string_view what, std::string_view text, size_t start = 0);
// Offset of the last occurrence beginning at or before `start` (npos: the
// end), comparing without regard to letter case; npos when there is none.
size_t RPos(std::string_view what, std::string_view text, size_t start = npos);
// The text before the first `delimiter`; it and the delimiter leave `text`.
// Without a delimiter the whole text is returned and `text` becomes empty.
AnsiString Fetch(AnsiString& text, std::string_view delimiter);
bool ContainsText(std::string_view text, std::string_view what); // ignoring case
bool StartsText(std::string_view prefix, std::string_view text); // ignoring case
bool EndsText(std::string_view suffix, std::string_view text);   // ignoring case
AnsiString TrimRight(std::string_view text);
// A decimal or hexadecimal number of the whole text, false otherwise.
bool TryHexToInt64(std::string_view text, std::int64_t& value);
int StrToIntDef(std::string_view text, int fallback);

// Four dot-separated decimal numbers 0 to 255, nothing else.
bool IsIPv4(std::string_view text);
// An IPv6 address text: at most eight groups of one to four hexadecimal
// digits, at most one "::", and optionally a dotted IPv4 address in place of
// the last two groups. False for anything else; `bytes` is then untouched.
bool ParseIPv6(std::string_view text, std::uint8_t (&bytes)[16]);

} // namespace net
