#include "uZipDir.h"

#include "uZipMsg.h"

#include <algorithm>

namespace {

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Get32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(Get16(p)) | static_cast<std::uint32_t>(Get16(p + 2)) << 16;
}

constexpr unsigned kOemCodePage = 1; // CP_OEMCP

bool ReadExactly(TStream& file, void* buffer, std::int64_t count) { return file.Read(buffer, count) == count; }

} // namespace

TEndRecord FindEndRecord(TStream& file, std::int64_t fileSize)
{
    TEndRecord r;
    if (fileSize < 0 || fileSize >= 0x100000000LL)
        return r;
    std::uint8_t head[8];
    if (fileSize >= 8 && file.Seek(0, TSeekOrigin::soBeginning) == 0 && ReadExactly(file, head, 8))
        r.StartsSpanned = Get32(head) == kSigSpanned && Get32(head + 4) == kSigLocalHeader;

    std::int64_t window = std::min<std::int64_t>(fileSize, kEndRecordSize + kMaxArchiveComment);
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(window));
    if (file.Seek(fileSize - window, TSeekOrigin::soBeginning) != fileSize - window ||
        !ReadExactly(file, buf.data(), window))
        return r;
    std::int64_t at = -1;
    if (window >= kEndRecordSize && Get32(&buf[static_cast<std::size_t>(window - kEndRecordSize)]) == kSigEndOfCentral)
        at = window - kEndRecordSize;
    // Backward scan from 23 bytes before the end, so the last occurrence wins.
    for (std::int64_t i = window - kEndRecordSize - 1; at < 0 && i >= 0; --i)
        if (Get32(&buf[static_cast<std::size_t>(i)]) == kSigEndOfCentral)
            at = i;
    if (at < 0)
        return r;

    const std::uint8_t* e = &buf[static_cast<std::size_t>(at)];
    r.Found = true;
    r.Offset = fileSize - window + at;
    r.DiskNumber = Get16(e + 4);
    r.CentralDisk = Get16(e + 6);
    r.EntriesOnDisk = Get16(e + 8);
    r.TotalEntries = Get16(e + 10);
    r.CentralSize = Get32(e + 12);
    r.CentralOffset = Get32(e + 16);
    std::size_t commentLen = Get16(e + 20);
    std::size_t afterRecord = static_cast<std::size_t>(window - at - kEndRecordSize);
    commentLen = std::min(commentLen, afterRecord); // a comment cut short by the file's end
    r.Comment.assign(reinterpret_cast<const char*>(e + kEndRecordSize), commentLen);
    r.EffectiveSize = r.Offset + kEndRecordSize + static_cast<std::int64_t>(commentLen);
    std::size_t tail = afterRecord - commentLen;
    if (tail > 0) {
        const std::uint8_t* t = e + kEndRecordSize + commentLen;
        r.GarbageAtEnd = tail >= kMaxTolerableTail || std::any_of(t, t + tail, [](std::uint8_t b) { return b >= 0x2F; });
    }
    r.Zip64 = at >= 20 && Get32(e - 20) == kSigZip64Locator;
    return r;
}

AnsiString ConvertZipText(const std::string& raw, std::uint8_t host, std::uint8_t version, TZipCodePage codePage,
                          bool isName)
{
    bool fromOem = (codePage == TZipCodePage::cpAuto && host == 0) || host == 6 || (host == 11 && version == 50) ||
                   codePage == TZipCodePage::cpOEM;
    if (!isName)
        return fromOem ? WideToAnsi(CodePageToWide(raw, kOemCodePage)) : AnsiString(raw);
    if (!fromOem && raw.find('/') == std::string::npos)
        return raw;
    // Through UTF-16, so a "/" that is half of a double-byte character stays.
    WideString wide = fromOem ? CodePageToWide(raw, kOemCodePage) : AnsiToWide(raw);
    std::replace(wide.begin(), wide.end(), u'/', u'\\');
    return WideToAnsi(wide);
}

void ReadCentralDirectory(TStream& file, const TEndRecord& end, TZipCodePage codePage, bool useDirOnlyEntries,
                          const TCentralReadEvents& events, TCentralDirectory& dir)
{
    using namespace zipmsg;
    if (end.StartsSpanned || end.DiskNumber > 0 || end.CentralDisk != end.DiskNumber)
        throw EZipArchive(11050, true);
    if (end.Zip64 || end.TotalEntries == 0xFFFF || end.CentralSize == 0xFFFFFFFF || end.CentralOffset == 0xFFFFFFFF)
        throw EZipArchive(11049, true);

    std::int64_t computed = end.EffectiveSize - end.CentralSize - kEndRecordSize - static_cast<std::int64_t>(end.Comment.size());
    dir.Offset = computed;
    // The stored offset is wrong when data was added in front of the archive;
    // the position relative to the end record is what counts.
    if (computed != static_cast<std::int64_t>(end.CentralOffset)) {
        dir.StructureWarning = true;
        if (events.Warning)
            events.Warning(LI_WrongZipStruct);
    }
    if (computed < 0 || file.Seek(computed, TSeekOrigin::soBeginning) != computed)
        throw EZipArchive(LI_ReadZipError, true);

    if (events.Start)
        events.Start(end.TotalEntries);
    dir.Entries.reserve(end.TotalEntries);
    for (int i = 0; i < end.TotalEntries; ++i) {
        std::uint8_t h[kCentralHeaderSize];
        if (!ReadExactly(file, h, kCentralHeaderSize))
            throw EZipArchive(DS_CEHBadRead, true);
        if (Get32(h) != kSigCentralHeader)
            throw EZipArchive(DS_CEHWrongSig, true);
        auto entry = std::make_unique<ZipDirEntry>();
        ZipDirEntry& z = *entry;
        z.MadeBy = Get16(h + 4);
        z.VersionNeeded = Get16(h + 6);
        z.Flag = Get16(h + 8);
        z.ComprMethod = Get16(h + 10);
        z.ModifTime = Get16(h + 12);
        z.ModifDate = Get16(h + 14);
        z.CRC32 = Get32(h + 16);
        z.ComprSize = Get32(h + 20);
        z.UncomprSize = Get32(h + 24);
        z.FileNameLength = Get16(h + 28);
        z.ExtraFieldLength = Get16(h + 30);
        z.FileCommentLen = Get16(h + 32);
        z.DiskStart = Get16(h + 34);
        z.IntFileAttrib = Get16(h + 36);
        z.ExtFileAttrib = Get32(h + 38);
        z.RelOffLocalHdr = Get32(h + 42);
        z.Encrypted = (z.Flag & 1) != 0;

        std::string raw(z.FileNameLength, '\0');
        if (!ReadExactly(file, raw.data(), z.FileNameLength))
            throw EZipArchive(DS_CENameLen, true);
        if (z.HostSystem() != 0) {
            dir.LastHost = z.HostSystem();
            dir.LastVersion = z.HostVersion();
        }
        z.FileName = ConvertZipText(raw, z.HostSystem(), z.HostVersion(), codePage, true);
        z.ExtraData.assign(z.ExtraFieldLength, '\0');
        if (!ReadExactly(file, z.ExtraData.data(), z.ExtraFieldLength))
            throw EZipArchive(LI_ReadZipError, true);
        std::string comment(z.FileCommentLen, '\0');
        if (!ReadExactly(file, comment.data(), z.FileCommentLen))
            throw EZipArchive(DS_CECommentLen, true);
        z.FileComment = ConvertZipText(comment, z.HostSystem(), z.HostVersion(), codePage, false);

        bool hasFilePart = !z.FileName.empty() && z.FileName.back() != '\\';
        if (useDirOnlyEntries || hasFilePart) {
            dir.Entries.push_back(std::move(entry));
            if (events.NewName)
                events.NewName(i + 1, *dir.Entries.back());
        } else {
            ++dir.Dropped;
        }
        if (events.Step)
            events.Step();
        if (events.Cancelled && events.Cancelled())
            throw EZipArchive(DS_Canceled, true);
    }
}
