#pragma once
// Reading a zip archive's end record and central directory (PKWARE APPNOTE,
// single-file archives, no Zip64). Works on any TStream, so it can be fed
// bytes from memory; it makes no OS or UI calls.
#include "runtime/uStreams.h"
#include "ziprecords/uZipRecords.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

inline constexpr std::uint32_t kSigLocalHeader = ziprec::kSigLocal;
inline constexpr std::uint32_t kSigCentralHeader = ziprec::kSigCentral;
inline constexpr std::uint32_t kSigEndOfCentral = ziprec::kSigEnd;
inline constexpr std::uint32_t kSigSpanned = ziprec::kSigSpanned;
inline constexpr std::uint32_t kSigZip64Locator = ziprec::kSigZip64Locator;
inline constexpr std::uint32_t kEndRecordSize = ziprec::kEndSize;
inline constexpr std::uint32_t kCentralHeaderSize = ziprec::kCentralSize;
inline constexpr std::uint32_t kMaxArchiveComment = ziprec::kMaxComment;
// Bytes after the archive comment that are still taken for harmless padding.
inline constexpr std::uint32_t kMaxTolerableTail = 512;

// One central directory entry: the header after its signature, field by
// field, and its variable parts.
struct ZipDirEntry {
    std::uint16_t MadeBy = 0;
    std::uint16_t VersionNeeded = 0;
    std::uint16_t Flag = 0;
    std::uint16_t ComprMethod = 0;
    std::uint16_t ModifTime = 0;
    std::uint16_t ModifDate = 0;
    std::uint32_t CRC32 = 0;
    std::uint32_t ComprSize = 0;
    std::uint32_t UncomprSize = 0;
    std::uint16_t FileNameLength = 0;
    std::uint16_t ExtraFieldLength = 0;
    std::uint16_t FileCommentLen = 0;
    std::uint16_t DiskStart = 0;
    std::uint16_t IntFileAttrib = 0;
    std::uint32_t ExtFileAttrib = 0;
    std::uint32_t RelOffLocalHdr = 0;

    AnsiString FileName;    // "\" separated, in the ANSI code page
    AnsiString FileComment;
    bool Encrypted = false;
    std::string ExtraData;  // raw

    std::uint8_t HostSystem() const { return static_cast<std::uint8_t>(MadeBy >> 8); }
    std::uint8_t HostVersion() const { return static_cast<std::uint8_t>(MadeBy & 0xFF); }
};

enum class TZipCodePage { cpAuto, cpNone, cpOEM };

// Where the end record lies and what it says.
struct TEndRecord {
    bool Found = false;
    std::int64_t Offset = 0;        // of the record in the file
    std::int64_t EffectiveSize = 0; // end of record and comment
    std::uint16_t DiskNumber = 0;
    std::uint16_t CentralDisk = 0;
    std::uint16_t EntriesOnDisk = 0;
    std::uint16_t TotalEntries = 0;
    std::uint32_t CentralSize = 0;
    std::uint32_t CentralOffset = 0;
    std::string Comment;            // raw
    bool StartsSpanned = false;     // begins with the split-archive marker
    bool Zip64 = false;             // a Zip64 locator precedes the record
    bool GarbageAtEnd = false;      // bytes after the comment that are not padding
};

// Finds the end record: the last 22 bytes, or a backward scan of the last
// 65557. Not found for files of 4 GiB and more.
TEndRecord FindEndRecord(TStream& file, std::int64_t fileSize);

// Converts a stored name or comment by the archive's host and code page rule,
// or from UTF-8 when the entry says so; when `isName`, "/" becomes "\".
AnsiString ConvertZipText(const std::string& raw, std::uint8_t host, std::uint8_t version, TZipCodePage codePage,
                          bool isName, bool utf8 = false);

struct TCentralReadEvents {
    std::function<void(std::int64_t count)> Start;                 // before the first entry
    std::function<void(int seqNo, const ZipDirEntry&)> NewName;    // per kept entry
    std::function<void()> Step;                                    // after each entry
    std::function<bool()> Cancelled;
    std::function<void(int id)> Warning;                           // 10203, before the entries
};

struct TCentralDirectory {
    std::vector<std::unique_ptr<ZipDirEntry>> Entries;
    std::int64_t Offset = 0;         // where it was read
    bool StructureWarning = false;   // stored offset differed from the computed one
    int Dropped = 0;                 // directory-only entries left out
    std::uint8_t LastHost = 0, LastVersion = 20;
};

// Reads the central directory described by `end`. Raises EZipArchive with
// the message ids of the archive component on damage; `dir` keeps what was
// read up to the damage.
void ReadCentralDirectory(TStream& file, const TEndRecord& end, TZipCodePage codePage, bool useDirOnlyEntries,
                          const TCentralReadEvents& events, TCentralDirectory& dir);
