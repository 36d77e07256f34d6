#pragma once
// The zip records themselves (PKWARE APPNOTE, no Zip64): end record, central
// file header, local file header, and what an entry's name really is. Plain
// bytes in, plain fields out; no streams, no OS, no runtime, so the directory
// reader of the archive component and the unzip engine read every archive
// through the same code and see the same names.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ziprec {

inline constexpr std::uint32_t kSigLocal = 0x04034B50;
inline constexpr std::uint32_t kSigCentral = 0x02014B50;
inline constexpr std::uint32_t kSigEnd = 0x06054B50;
inline constexpr std::uint32_t kSigSpanned = 0x08074B50;
inline constexpr std::uint32_t kSigZip64Locator = 0x07064B50;
inline constexpr std::size_t kEndSize = 22;
inline constexpr std::size_t kCentralSize = 46;
inline constexpr std::size_t kLocalSize = 30;
inline constexpr std::size_t kMaxComment = 65535;
// The end record and the longest comment: all a backward search has to read.
inline constexpr std::size_t kEndWindow = kEndSize + kMaxComment;

inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagDescriptor = 0x0008; // sizes follow the data
inline constexpr std::uint16_t kFlagStrongCrypto = 0x0040;
inline constexpr std::uint16_t kFlagUtf8 = 0x0800;       // name and comment are UTF-8
inline constexpr std::uint16_t kExtraUnicodePath = 0x7075; // Info-ZIP Unicode Path field

inline std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t Get32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// CRC-32 as zip uses it (reflected, polynomial 0xEDB88320).
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);

struct TEndFields {
    std::uint16_t DiskNumber = 0;
    std::uint16_t CentralDisk = 0;
    std::uint16_t EntriesOnDisk = 0;
    std::uint16_t TotalEntries = 0;
    std::uint32_t CentralSize = 0;
    std::uint32_t CentralOffset = 0;
    std::uint16_t CommentLength = 0;
};

// Where the end record starts in `window` (the last bytes of a file), or -1:
// the last 22 bytes first, then a backward scan from 23 bytes before the
// end, so the last occurrence wins.
std::ptrdiff_t FindEndRecord(const std::uint8_t* window, std::size_t size);
// The 22 bytes at `p` (signature checked).
bool ParseEndRecord(const std::uint8_t* p, TEndFields& end);

// The central file header after its signature, field by field.
struct TCentralFields {
    std::uint16_t MadeBy = 0;
    std::uint16_t VersionNeeded = 0;
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint16_t Time = 0;
    std::uint16_t Date = 0;
    std::uint32_t Crc = 0;
    std::uint32_t CompSize = 0;
    std::uint32_t Size = 0;
    std::uint16_t NameLength = 0;
    std::uint16_t ExtraLength = 0;
    std::uint16_t CommentLength = 0;
    std::uint16_t DiskStart = 0;
    std::uint16_t IntAttrib = 0;
    std::uint32_t ExtAttrib = 0;
    std::uint32_t LocalOffset = 0;

    std::uint8_t Host() const { return static_cast<std::uint8_t>(MadeBy >> 8); }
    std::uint8_t HostVersion() const { return static_cast<std::uint8_t>(MadeBy & 0xFF); }
    // The bytes that follow the fixed part.
    std::size_t VariableLength() const { return std::size_t{NameLength} + ExtraLength + CommentLength; }
};

// The 46 bytes at `p`; false when the signature is wrong.
bool ParseCentralHeader(const std::uint8_t* p, TCentralFields& h);

struct TLocalFields {
    std::uint16_t VersionNeeded = 0;
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint16_t NameLength = 0;
    std::uint16_t ExtraLength = 0;
    // Where the entry's stored data begin, relative to the header.
    std::size_t DataOffset() const { return kLocalSize + NameLength + ExtraLength; }
};

// The 30 bytes at `p`; false when the signature is wrong.
bool ParseLocalHeader(const std::uint8_t* p, TLocalFields& h);

// An entry's name as its maker meant it: UTF-8 when the header says so or an
// Info-ZIP Unicode Path field vouches for it (its CRC matches the stored
// name), else the stored bytes in the maker's legacy code page.
struct TEntryName {
    std::string Bytes;
    bool Utf8 = false;
};
TEntryName ResolveName(std::string_view stored, std::uint16_t flags, std::string_view extra);

} // namespace ziprec
