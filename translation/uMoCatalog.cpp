#include "uMoCatalog.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// Never true for the zero byte, unlike strchr.
bool In(std::string_view set, char c) { return c != '\0' && set.find(c) != std::string_view::npos; }

// The arguments a printf pattern consumes, one token each: '*' for a width or
// precision taken from the arguments, else the length modifier and the class
// of the conversion ("d" for d and i, "u" for o u x X, "f" for the floating
// ones). A malformed conversion is kept as it is written, so it must recur.
std::string ConversionSignature(std::string_view pattern)
{
    std::string signature;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%')
            continue;
        std::size_t start = i++;
        if (i < pattern.size() && pattern[i] == '%')
            continue;
        auto digits = [&] {
            while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9')
                ++i;
        };
        std::size_t positional = i;
        digits();
        if (i < pattern.size() && pattern[i] == '$' && i > positional) {
            signature.append(pattern.substr(positional, i - positional + 1));
            ++i;
        } else {
            i = positional;
        }
        // A width or precision: digits, or '*' taking an argument.
        auto amount = [&] {
            if (i < pattern.size() && pattern[i] == '*') {
                signature += "*,";
                ++i;
            } else {
                digits();
            }
        };
        while (i < pattern.size() && In("-+ #0'", pattern[i]))
            ++i;
        amount();
        if (i < pattern.size() && pattern[i] == '.') {
            ++i;
            amount();
        }
        std::size_t lengthStart = i;
        while (i < pattern.size() && In("hlLqjzt", pattern[i]))
            ++i;
        std::string token(pattern.substr(lengthStart, i - lengthStart));
        char c = i < pattern.size() ? pattern[i] : '\0';
        if (In("di", c))
            token += 'd';
        else if (In("ouxX", c))
            token += 'u';
        else if (In("eEfFgGaA", c))
            token += 'f';
        else if (In("cspn", c))
            token += c;
        else
            token = "?" + std::string(pattern.substr(start, i - start + (c ? 1 : 0)));
        signature += token;
        signature += ',';
        if (c == '\0')
            break;
    }
    return signature;
}

std::vector<std::string_view> Forms(std::string_view text)
{
    std::vector<std::string_view> forms;
    for (std::size_t start = 0;;) {
        std::size_t end = text.find('\0', start);
        forms.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return forms;
        start = end + 1;
    }
}

} // namespace

bool SameFormatConversions(std::string_view original, std::string_view translation)
{
    std::vector<std::string_view> originals = Forms(original);
    std::vector<std::string> signatures;
    for (std::string_view form : originals)
        signatures.push_back(ConversionSignature(form));
    std::vector<std::string_view> translations = Forms(translation);
    if (originals.size() == 1 && translations.size() == 1)
        return signatures[0] == ConversionSignature(translation);
    // A plural form may leave out trailing arguments ("un fichier" for
    // "%d files"): printf ignores arguments it does not consume.
    for (std::string_view form : translations) {
        std::string mine = ConversionSignature(form);
        if (std::none_of(signatures.begin(), signatures.end(),
                         [&](const std::string& s) { return s.compare(0, mine.size(), mine) == 0; }))
            return false;
    }
    return true;
}

bool TMoCatalog::Attach(std::span<const std::uint8_t> bytes)
{
    *this = TMoCatalog();
    if (bytes.size() < HeaderSize)
        return false;
    FBytes = bytes;
    std::uint32_t magic;
    std::memcpy(&magic, bytes.data(), 4);
    if (magic == MagicNative)
        FSwapBytes = false;
    else if (magic == MagicSwapped)
        FSwapBytes = true;
    else {
        FBytes = {};
        return false;
    }
    ReadWord(8, FEntryCount);
    ReadWord(12, FMsgidTableOffset);
    ReadWord(16, FMsgstrTableOffset);
    // Start at the largest power of two not above N and halve from there.
    FSearchStart = FEntryCount == 0 ? 0 : std::bit_floor(FEntryCount);
    FSearchStep = FSearchStart / 2;
    // Entries past the first unreadable descriptor can never be found, so the
    // check stops there. Strings that overlap could make it read the same
    // bytes again and again (msgfmt never writes such a catalog): past a
    // budget every remaining entry is rejected unread rather than trusted.
    const std::uint64_t budget = 64 * std::uint64_t(FBytes.size()) + 65536;
    std::uint64_t examined = 0;
    for (std::uint32_t idx = 1; idx <= FEntryCount; ++idx) {
        std::string_view msgid, msgstr;
        if (!ReadString(FMsgidTableOffset, idx, msgid) || !ReadString(FMsgstrTableOffset, idx, msgstr))
            break;
        examined += msgid.size() + msgstr.size();
        // The header (empty msgid) is never a pattern.
        if (examined > budget || (!msgid.empty() && !SameFormatConversions(msgid, msgstr)))
            FRejected.push_back(idx);
    }
    return true;
}

bool TMoCatalog::ReadWord(std::uint64_t offset, std::uint32_t& value) const
{
    if (offset > FBytes.size() || FBytes.size() - offset < 4)
        return false;
    std::memcpy(&value, FBytes.data() + offset, 4);
    if (FSwapBytes)
        value = __builtin_bswap32(value);
    return true;
}

bool TMoCatalog::ReadString(std::uint32_t table, std::uint32_t index, std::string_view& text) const
{
    std::uint64_t descriptor = std::uint64_t(table) + 8 * (std::uint64_t(index) - 1);
    std::uint32_t length, offset;
    if (!ReadWord(descriptor, length) || !ReadWord(descriptor + 4, offset))
        return false;
    if (offset > FBytes.size() || FBytes.size() - offset < length)
        return false;
    text = std::string_view(reinterpret_cast<const char*>(FBytes.data()) + offset, length);
    return true;
}

bool TMoCatalog::Lookup(std::string_view msgid, std::string& translation) const
{
    std::uint32_t idx = FSearchStart;
    std::uint32_t step = FSearchStep;
    while (FEntryCount != 0) {
        std::string_view entry;
        if (!ReadString(FMsgidTableOffset, idx, entry))
            break;
        int diff = 0;
        std::size_t common = std::min(msgid.size(), entry.size());
        for (std::size_t i = 0; i < common && diff == 0; ++i)
            diff = int(static_cast<unsigned char>(msgid[i])) - int(static_cast<unsigned char>(entry[i]));
        if (diff == 0 && msgid.size() != entry.size())
            diff = msgid.size() < entry.size() ? -1 : 1;
        if (diff == 0) {
            std::string_view found;
            if (!ReadString(FMsgstrTableOffset, idx, found) ||
                std::binary_search(FRejected.begin(), FRejected.end(), idx))
                break;
            translation.assign(found);
            return true;
        }
        if (step == 0)
            break;
        if (diff < 0)
            idx = idx < step + 1 ? 1 : idx - step;
        else
            idx = std::uint64_t(idx) + step > FEntryCount ? FEntryCount : idx + step;
        step /= 2;
    }
    translation.assign(msgid);
    return false;
}
