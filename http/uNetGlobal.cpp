#include "uNetGlobal.h"

#include "platform/uNetPlatform.h"
#include "runtime/uSysUtils.h"

#include <limits>

namespace net {

namespace {
unsigned char Upper(char c)
{
    auto u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 32) : u;
}

bool MatchAt(std::string_view what, std::string_view text, size_t at, bool ignoreCase)
{
    if (at + what.size() > text.size())
        return false;
    for (size_t k = 0; k < what.size(); ++k)
        if (ignoreCase ? Upper(text[at + k]) != Upper(what[k]) : text[at + k] != what[k])
            return false;
    return true;
}
} // namespace

size_t Pos(std::string_view what, std::string_view text, size_t start)
{
    if (what.empty())
        return npos;
    for (size_t i = start; i < text.size();) {
        if (MatchAt(what, text, i, false))
            return i;
        i += platform::IsAnsiLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    }
    return npos;
}

size_t RPos(std::string_view what, std::string_view text, size_t start)
{
    if (what.empty() || what.size() > text.size())
        return npos;
    size_t last = text.size() - what.size();
    if (start != npos && start < last)
        last = start;
    size_t found = npos;
    for (size_t i = 0; i <= last;) {
        if (MatchAt(what, text, i, true))
            found = i;
        i += platform::IsAnsiLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    }
    return found;
}

AnsiString Fetch(AnsiString& text, std::string_view delimiter)
{
    size_t at = Pos(delimiter, text);
    if (at == npos) {
        AnsiString all;
        all.swap(text);
        return all;
    }
    AnsiString head = text.substr(0, at);
    text.erase(0, at + delimiter.size());
    return head;
}

bool ContainsText(std::string_view text, std::string_view what)
{
    if (what.empty())
        return true;
    for (size_t i = 0; i + what.size() <= text.size(); ++i)
        if (MatchAt(what, text, i, true))
            return true;
    return false;
}

bool StartsText(std::string_view prefix, std::string_view text) { return MatchAt(prefix, text, 0, true); }

bool EndsText(std::string_view suffix, std::string_view text)
{
    return suffix.size() <= text.size() && MatchAt(suffix, text, text.size() - suffix.size(), true);
}

AnsiString TrimRight(std::string_view text)
{
    size_t e = text.size();
    while (e > 0 && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return AnsiString(text.substr(0, e));
}


bool TryHexToInt64(std::string_view text, std::int64_t& value)
{
    if (text.empty())
        return false;
    std::uint64_t v = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return false;
        if (v > (static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) >> 4))
            return false;
        v = (v << 4) | static_cast<unsigned>(digit);
    }
    value = static_cast<std::int64_t>(v);
    return true;
}

int StrToIntDef(std::string_view text, int fallback)
{
    int value;
    return TryStrToInt(text, value) ? value : fallback;
}

} // namespace net
