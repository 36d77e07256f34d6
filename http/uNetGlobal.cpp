#include "uNetGlobal.h"

#include "platform/uNetPlatform.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
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

bool IsIPv4(std::string_view text)
{
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        size_t start = i;
        int value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
            value = value * 10 + (text[i++] - '0');
        if (i == start || value > 255)
            return false;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.')
                return false;
            ++i;
        }
    }
    return i == text.size();
}

namespace {
int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

bool ParseIPv6(std::string_view text, std::uint8_t (&bytes)[16])
{
    constexpr int MaxGroups = 8;
    std::uint16_t groups[MaxGroups] = {};
    int count = 0;
    int gapAt = -1; // index of the group the "::" stands before
    size_t i = 0;
    const size_t n = text.size();
    if (n == 0)
        return false;
    if (text[0] == ':') {
        if (n < 2 || text[1] != ':')
            return false;
        gapAt = 0;
        i = 2;
    }
    while (i < n) {
        size_t end = text.find(':', i);
        if (end == std::string_view::npos)
            end = n;
        std::string_view part = text.substr(i, end - i);
        if (part.find('.') != std::string_view::npos) {
            // A dotted IPv4 tail ends the address and fills two groups.
            if (end != n || count > MaxGroups - 2 || !IsIPv4(part))
                return false;
            unsigned v[4] = {};
            size_t at = 0;
            for (unsigned& octet : v) {
                while (at < part.size() && part[at] != '.')
                    octet = octet * 10 + static_cast<unsigned>(part[at++] - '0');
                ++at;
            }
            groups[count++] = static_cast<std::uint16_t>(v[0] << 8 | v[1]);
            groups[count++] = static_cast<std::uint16_t>(v[2] << 8 | v[3]);
            i = n;
            break;
        }
        if (part.empty() || part.size() > 4 || count == MaxGroups)
            return false;
        unsigned value = 0;
        for (char c : part) {
            int digit = HexDigit(c);
            if (digit < 0)
                return false;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        groups[count++] = static_cast<std::uint16_t>(value);
        i = end;
        if (i == n)
            break;
        ++i; // the ":"
        if (i == n)
            return false; // a single trailing ":"
        if (text[i] == ':') {
            if (gapAt >= 0)
                return false;
            gapAt = count;
            ++i;
        }
    }
    // "::" stands for at least one zero group.
    if (gapAt >= 0 ? count > MaxGroups - 1 : count != MaxGroups)
        return false;
    std::uint16_t full[MaxGroups] = {};
    if (gapAt < 0) {
        std::copy(groups, groups + count, full);
    } else {
        std::copy(groups, groups + gapAt, full);
        std::copy(groups + gapAt, groups + count, full + MaxGroups - (count - gapAt));
    }
    for (int k = 0; k < MaxGroups; ++k) {
        bytes[2 * k] = static_cast<std::uint8_t>(full[k] >> 8);
        bytes[2 * k + 1] = static_cast<std::uint8_t>(full[k] & 0xFF);
    }
    return true;
}

} // namespace net
