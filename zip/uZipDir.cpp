#include "uZipDir.h"

#include "uZipMsg.h"
#include "ziprecords/uZipRecords.h"

#include <algorithm>

namespace {

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
        r.StartsSpanned = ziprec::Get32(head) == kSigSpanned && ziprec::Get32(head + 4) == kSigLocalHeader;

    std::int64_t window = std::min<std::int64_t>(fileSize, kEndRecordSize + kMaxArchiveComment);
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(window));
    if (file.Seek(fileSize - window, TSeekOrigin::soBeginning) != fileSize - window ||
        !ReadExactly(file, buf.data(), window))
        return r;
    std::ptrdiff_t at = ziprec::FindEndRecord(buf.data(), buf.size());
    ziprec::TEndFields f;
    if (at < 0 || !ziprec::ParseEndRecord(&buf[static_cast<std::size_t>(at)], f))
        return r;

    const std::uint8_t* e = &buf[static_cast<std::size_t>(at)];
    r.Found = true;
    r.Offset = fileSize - window + at;
    r.DiskNumber = f.DiskNumber;
    r.CentralDisk = f.CentralDisk;
    r.EntriesOnDisk = f.EntriesOnDisk;
    r.TotalEntries = f.TotalEntries;
    r.CentralSize = f.CentralSize;
    r.CentralOffset = f.CentralOffset;
    std::size_t commentLen = f.CommentLength;
    std::size_t afterRecord = static_cast<std::size_t>(window - at - kEndRecordSize);
    commentLen = std::min(commentLen, afterRecord); // a comment cut short by the file's end
    r.Comment.assign(reinterpret_cast<const char*>(e + kEndRecordSize), commentLen);
    r.EffectiveSize = r.Offset + kEndRecordSize + static_cast<std::int64_t>(commentLen);
    std::size_t tail = afterRecord - commentLen;
    if (tail > 0) {
        const std::uint8_t* t = e + kEndRecordSize + commentLen;
        r.GarbageAtEnd = tail >= kMaxTolerableTail || std::any_of(t, t + tail, [](std::uint8_t b) { return b >= 0x2F; });
    }
    r.Zip64 = at >= 20 && ziprec::Get32(e - 20) == kSigZip64Locator;
    return r;
}

AnsiString ConvertZipText(const std::string& raw, std::uint8_t host, std::uint8_t version, TZipCodePage codePage,
                          bool isName, bool utf8)
{
    if (utf8) {
        WideString wide = Utf8ToWide(raw);
        if (isName)
            std::replace(wide.begin(), wide.end(), u'/', u'\\');
        return WideToAnsi(wide);
    }
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

namespace {

// One central header with its name, extra field and comment, the name
// resolved as the engine will extract it.
std::unique_ptr<ZipDirEntry> ReadCentralEntry(TStream& file, TZipCodePage codePage, TCentralDirectory& dir)
{
    using namespace zipmsg;
    std::uint8_t h[kCentralHeaderSize];
    if (!ReadExactly(file, h, kCentralHeaderSize))
        throw EZipArchive(DS_CEHBadRead, true);
    ziprec::TCentralFields f;
    if (!ziprec::ParseCentralHeader(h, f))
        throw EZipArchive(DS_CEHWrongSig, true);
    auto entry = std::make_unique<ZipDirEntry>();
    ZipDirEntry& z = *entry;
    z.MadeBy = f.MadeBy;
    z.VersionNeeded = f.VersionNeeded;
    z.Flag = f.Flags;
    z.ComprMethod = f.Method;
    z.ModifTime = f.Time;
    z.ModifDate = f.Date;
    z.CRC32 = f.Crc;
    z.ComprSize = f.CompSize;
    z.UncomprSize = f.Size;
    z.FileNameLength = f.NameLength;
    z.ExtraFieldLength = f.ExtraLength;
    z.FileCommentLen = f.CommentLength;
    z.DiskStart = f.DiskStart;
    z.IntFileAttrib = f.IntAttrib;
    z.ExtFileAttrib = f.ExtAttrib;
    z.RelOffLocalHdr = f.LocalOffset;
    z.Encrypted = (z.Flag & ziprec::kFlagEncrypted) != 0;

    std::string raw(z.FileNameLength, '\0');
    if (!ReadExactly(file, raw.data(), z.FileNameLength))
        throw EZipArchive(DS_CENameLen, true);
    if (z.HostSystem() != 0) {
        dir.LastHost = z.HostSystem();
        dir.LastVersion = z.HostVersion();
    }
    z.ExtraData.assign(z.ExtraFieldLength, '\0');
    if (!ReadExactly(file, z.ExtraData.data(), z.ExtraFieldLength))
        throw EZipArchive(LI_ReadZipError, true);
    std::string comment(z.FileCommentLen, '\0');
    if (!ReadExactly(file, comment.data(), z.FileCommentLen))
        throw EZipArchive(DS_CECommentLen, true);
    // The same name the engine will extract under.
    ziprec::TEntryName name = ziprec::ResolveName(raw, z.Flag, z.ExtraData);
    z.FileName = ConvertZipText(name.Bytes, z.HostSystem(), z.HostVersion(), codePage, true, name.Utf8);
    z.FileComment = ConvertZipText(comment, z.HostSystem(), z.HostVersion(), codePage, false,
                                   (z.Flag & ziprec::kFlagUtf8) != 0);
    return entry;
}

} // namespace

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
        std::unique_ptr<ZipDirEntry> entry = ReadCentralEntry(file, codePage, dir);
        const ZipDirEntry& z = *entry;
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
