#include "uZipMsg.h"

#include "platform/uLibrary.h"
#include "platform/uSync.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace zipmsg {

namespace {

struct TMsg {
    int Id;
    const char* Text;
};

constexpr TMsg kDefaultTable[] = {
#include "uZipMsgTable.inc"
};

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Get32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(Get16(p)) | static_cast<std::uint32_t>(Get16(p + 2)) << 16;
}

// The selected language table; process-wide, as the setting is.
struct TLanguage {
    platform::TLock Lock;
    std::vector<std::uint8_t> Table;
    AnsiString Name;
    std::uint16_t Id = 0;
} gLanguage;

AnsiString WithCrLf(std::string_view text)
{
    AnsiString r;
    r.reserve(text.size() + 4);
    for (char c : text) {
        if (c == '\n')
            r += '\r';
        r += c;
    }
    return r;
}

} // namespace

AnsiString VFormatText(const AnsiString& format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format.c_str(), copy);
    va_end(copy);
    if (n <= 0)
        return {};
    AnsiString r(static_cast<std::size_t>(n), '\0');
    std::vsnprintf(r.data(), r.size() + 1, format.c_str(), args);
    return r;
}

namespace {

bool IsWordChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

AnsiString LeadingWord(std::string_view text)
{
    AnsiString r;
    for (char c : text) {
        if (!IsWordChar(c))
            break;
        r += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    return r;
}

} // namespace

bool UnpackTable(const std::uint8_t* packed, std::size_t available, std::size_t packedSize,
                 std::size_t unpackedSize, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (unpackedSize >= kMaxTableSize || packedSize > available)
        return false;
    std::uint8_t ring[4096] = {};
    unsigned put = 4080;
    std::size_t in = 0;
    out.reserve(unpackedSize);
    auto emit = [&](std::uint8_t b) {
        out.push_back(b);
        ring[put] = b;
        put = (put + 1) & 4095;
    };
    while (in < packedSize) {
        std::uint8_t flags = packed[in++];
        for (int bit = 0; bit < 8 && in < packedSize; ++bit) {
            if (out.size() > unpackedSize)
                return false;
            if (flags & (1 << bit)) {
                emit(packed[in++]);
            } else {
                if (packedSize - in < 2)
                    return false;
                std::uint8_t b1 = packed[in], b2 = packed[in + 1];
                in += 2;
                unsigned from = b1 + 256u * (b2 >> 4);
                for (unsigned k = 0; k < (b2 & 0x0Fu) + 3; ++k)
                    emit(ring[(from + k) & 4095]);
            }
        }
    }
    return in == packedSize && out.size() == unpackedSize;
}

bool FindInTable(const std::vector<std::uint8_t>& table, int id, WideString& text)
{
    const std::uint8_t* base = table.data();
    std::size_t size = table.size(), pos = 0;
    unsigned wantName = static_cast<unsigned>(id / 16 + 1);
    // One compiled resource entry after another, each padded to 4 bytes.
    while (size - pos >= 8) {
        std::uint32_t dataSize = Get32(base + pos), headerSize = Get32(base + pos + 4);
        if (headerSize < 16 || headerSize > size - pos || dataSize > size - pos - headerSize)
            return false;
        // Type and name are each 0xFFFF and an ordinal, or a UTF-16 string.
        std::size_t p = pos + 8, headerEnd = pos + headerSize;
        int ordinals[2] = {-1, -1};
        for (int& ordinal : ordinals) {
            if (headerEnd - p < 2)
                return false;
            if (Get16(base + p) == 0xFFFF) {
                if (headerEnd - p < 4)
                    return false;
                ordinal = Get16(base + p + 2);
                p += 4;
            } else {
                while (headerEnd - p >= 2 && Get16(base + p) != 0)
                    p += 2;
                p += 2;
                if (p > headerEnd)
                    return false;
            }
        }
        if (ordinals[0] == 6 && static_cast<unsigned>(ordinals[1]) == wantName) {
            const std::uint8_t* d = base + headerEnd;
            std::size_t q = 0;
            for (int index = 0; index <= id % 16; ++index) {
                if (dataSize - q < 2)
                    return false;
                std::size_t len = Get16(d + q);
                q += 2;
                if (dataSize - q < len * 2)
                    return false;
                if (index == id % 16) {
                    text.assign(len, u'\0');
                    for (std::size_t k = 0; k < len; ++k)
                        text[k] = static_cast<char16_t>(Get16(d + q + 2 * k));
                    return len > 0;
                }
                q += len * 2;
            }
        }
        // Padding that runs past the end leaves no further entry to look at.
        std::size_t padded = (std::size_t{dataSize} + 3) & ~std::size_t{3};
        if (padded > size - pos - headerSize)
            return false;
        pos += headerSize + padded;
    }
    return false;
}

AnsiString LoadZipStr(int id)
{
    {
        std::lock_guard lock(gLanguage.Lock);
        WideString text;
        if (!gLanguage.Table.empty() && FindInTable(gLanguage.Table, id, text))
            return WithCrLf(WideToAnsi(text));
    }
    auto it = std::lower_bound(std::begin(kDefaultTable), std::end(kDefaultTable), id,
                               [](const TMsg& m, int value) { return m.Id < value; });
    if (it != std::end(kDefaultTable) && it->Id == id && *it->Text)
        return WithCrLf(it->Text);
    return "Resource missing for " + std::to_string(id);
}

AnsiString ZipFmtLoadStr(int id, ...)
{
    AnsiString format = LoadZipStr(id);
    va_list args;
    va_start(args, id);
    AnsiString r = VFormatText(format, args);
    va_end(args);
    return r;
}

AnsiString SetZipMsgLanguage(std::string_view value)
{
    std::lock_guard lock(gLanguage.Lock);
    gLanguage.Table.clear();
    gLanguage.Name.clear();
    gLanguage.Id = 0;

    std::string_view rest = value;
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    AnsiString token = (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') ? AnsiString() : LeadingWord(rest);
    unsigned langId = 0;
    if (token.size() < 2) {
        if (value == "*") {
            langId = platform::UserDefaultLanguageId();
        } else {
            int n = 0;
            if (!TryStrToInt(Trim(value), n) || n < 1 || n > 65535)
                return {};
            langId = static_cast<unsigned>(n);
        }
    }
    if (token == "US" || langId == kDefaultLanguageId)
        return {};

    const void* data = nullptr;
    unsigned size = 0;
    if (!platform::FindModuleResource(10 /* RT_RCDATA */, kLanguageResourceId, data, size))
        return {};
    auto p = static_cast<const std::uint8_t*>(data);
    for (std::size_t pos = 0; size - pos >= 6;) {
        std::uint16_t recId = Get16(p + pos), packedSize = Get16(p + pos + 2), nameLen = Get16(p + pos + 4);
        std::size_t recLen = 6u + nameLen + packedSize;
        if (recLen > size - pos || packedSize < 4)
            break;
        std::string_view name(reinterpret_cast<const char*>(p + pos + 6), nameLen);
        bool match = langId ? (recId == langId || (langId < 1024 && (recId & 0x3FF) == (langId & 0x3FF)))
                            : LeadingWord(name) == token;
        if (match) {
            const std::uint8_t* sizeField = p + pos + 6 + nameLen;
            std::vector<std::uint8_t> table;
            if (UnpackTable(sizeField + 4, packedSize - 4u, packedSize - 4u, Get32(sizeField), table)) {
                gLanguage.Table = std::move(table);
                gLanguage.Name = AnsiString(name);
                gLanguage.Id = recId;
                return gLanguage.Name;
            }
            return {};
        }
        pos += recLen;
    }
    return {};
}

AnsiString GetZipMsgLanguage(int)
{
    std::lock_guard lock(gLanguage.Lock);
    return gLanguage.Table.empty() ? AnsiString(kDefaultTable[0].Text) : gLanguage.Name;
}

} // namespace zipmsg

EZipArchive::EZipArchive(int id, bool display) : Exception(zipmsg::LoadZipStr(id)), FResId(id), FDisplayMsg(display) {}

EZipArchive::EZipArchive(AnsiString message, bool display, int id)
    : Exception(std::move(message)), FResId(id), FDisplayMsg(display)
{
}

EZipArchive EZipArchive::Fmt(int id, ...)
{
    va_list args;
    va_start(args, id);
    AnsiString text = zipmsg::VFormatText(zipmsg::LoadZipStr(id), args);
    va_end(args);
    return EZipArchive(std::move(text), true, id);
}
