#include "uZipRecords.h"

#include <array>

namespace ziprec {

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable()
{
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[n] = c;
    }
    return t;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

} // namespace

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size)
{
    auto p = static_cast<const std::uint8_t*>(data);
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = kCrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::ptrdiff_t FindEndRecord(const std::uint8_t* window, std::size_t size)
{
    if (size < kEndSize)
        return -1;
    if (Get32(window + size - kEndSize) == kSigEnd)
        return static_cast<std::ptrdiff_t>(size - kEndSize);
    for (std::size_t i = size - kEndSize; i-- > 0;)
        if (Get32(window + i) == kSigEnd)
            return static_cast<std::ptrdiff_t>(i);
    return -1;
}

bool ParseEndRecord(const std::uint8_t* p, TEndFields& end)
{
    if (Get32(p) != kSigEnd)
        return false;
    end.DiskNumber = Get16(p + 4);
    end.CentralDisk = Get16(p + 6);
    end.EntriesOnDisk = Get16(p + 8);
    end.TotalEntries = Get16(p + 10);
    end.CentralSize = Get32(p + 12);
    end.CentralOffset = Get32(p + 16);
    end.CommentLength = Get16(p + 20);
    return true;
}

bool ParseCentralHeader(const std::uint8_t* p, TCentralFields& h)
{
    if (Get32(p) != kSigCentral)
        return false;
    h.MadeBy = Get16(p + 4);
    h.VersionNeeded = Get16(p + 6);
    h.Flags = Get16(p + 8);
    h.Method = Get16(p + 10);
    h.Time = Get16(p + 12);
    h.Date = Get16(p + 14);
    h.Crc = Get32(p + 16);
    h.CompSize = Get32(p + 20);
    h.Size = Get32(p + 24);
    h.NameLength = Get16(p + 28);
    h.ExtraLength = Get16(p + 30);
    h.CommentLength = Get16(p + 32);
    h.DiskStart = Get16(p + 34);
    h.IntAttrib = Get16(p + 36);
    h.ExtAttrib = Get32(p + 38);
    h.LocalOffset = Get32(p + 42);
    return true;
}

bool ParseLocalHeader(const std::uint8_t* p, TLocalFields& h)
{
    if (Get32(p) != kSigLocal)
        return false;
    h.VersionNeeded = Get16(p + 4);
    h.Flags = Get16(p + 6);
    h.Method = Get16(p + 8);
    h.NameLength = Get16(p + 26);
    h.ExtraLength = Get16(p + 28);
    return true;
}

TEntryName ResolveName(std::string_view stored, std::uint16_t flags, std::string_view extra)
{
    auto x = reinterpret_cast<const std::uint8_t*>(extra.data());
    // Extra blocks: id, length, data. A block that overruns the field ends
    // the walk; what came before it still counts.
    for (std::size_t k = 0; extra.size() - k >= 4;) {
        std::uint16_t id = Get16(x + k), len = Get16(x + k + 2);
        if (len > extra.size() - k - 4)
            break;
        // Version 1, the CRC of the stored name, then the UTF-8 name. A CRC
        // that does not match means another tool renamed the entry since.
        if (id == kExtraUnicodePath && len > 5 && x[k + 4] == 1 &&
            Get32(x + k + 5) == Crc32(0, stored.data(), stored.size()))
            return {std::string(extra.substr(k + 9, len - 5u)), true};
        k += 4u + len;
    }
    return {std::string(stored), (flags & kFlagUtf8) != 0};
}

} // namespace ziprec
