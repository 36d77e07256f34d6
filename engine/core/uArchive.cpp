#include "uArchive.h"

#include "ziprecords/uZipRecords.h"

#include <algorithm>
#include <cstring>

using namespace zipeng;

namespace zipcore {

namespace {

constexpr std::size_t kWindow = 256 * 1024;
constexpr std::size_t kWindowedMax = 64 * 1024;
// No Zip64: offsets and sizes of the format end below 4 GiB.
constexpr std::uint64_t kMaxArchiveSize = 0xFFFFFFFFull;

// Where the central directory lies, as the end record places it.
struct TDirectorySpan {
    std::uint64_t Start = 0;
    std::uint32_t Size = 0;
    std::uint32_t Count = 0;
    // Local header offsets are stored relative to the archive's start; data
    // prepended to the archive moves them by as much as the directory.
    std::int64_t Shift = 0;
};

bool FindDirectory(const TArchive& archive, const std::string& zipName, TDirectorySpan& span, TArchiveError& error)
{
    const std::uint64_t size = archive.Size();
    std::size_t window = static_cast<std::size_t>(std::min<std::uint64_t>(size, ziprec::kEndWindow));
    std::vector<std::uint8_t> tail(window);
    std::ptrdiff_t at = -1;
    if (window >= ziprec::kEndSize && archive.ReadAt(size - window, tail.data(), window))
        at = ziprec::FindEndRecord(tail.data(), window);
    ziprec::TEndFields end;
    if (at < 0 || !ziprec::ParseEndRecord(&tail[static_cast<std::size_t>(at)], end)) {
        error = {eeBadArchive, "Not a zip archive: " + zipName};
        return false;
    }
    if (end.DiskNumber != 0 || end.CentralDisk != 0 || end.EntriesOnDisk != end.TotalEntries) {
        error = {eeBadArchive, "Spanned archives are not supported: " + zipName};
        return false;
    }
    if (end.TotalEntries == 0xFFFF || end.CentralSize == 0xFFFFFFFF || end.CentralOffset == 0xFFFFFFFF) {
        error = {eeBadArchive, "Zip64 archives are not supported: " + zipName};
        return false;
    }
    // Trust the directory's position relative to the end record over the
    // stored offset. Each entry needs at least its fixed header in it.
    std::uint64_t endPos = size - window + static_cast<std::uint64_t>(at);
    if (end.CentralSize > endPos || std::uint64_t{end.TotalEntries} * ziprec::kCentralSize > end.CentralSize) {
        error = {eeBadArchive, "Damaged central directory in " + zipName};
        return false;
    }
    span.Start = endPos - end.CentralSize;
    span.Size = end.CentralSize;
    span.Count = end.TotalEntries;
    span.Shift = static_cast<std::int64_t>(span.Start) - static_cast<std::int64_t>(end.CentralOffset);
    return true;
}

// The name's code page: UTF-8 when marked, OEM from DOS-style hosts, else
// the ANSI page.
TTextCode NameCode(const ziprec::TCentralFields& h, bool utf8)
{
    unsigned host = h.Host(), version = h.HostVersion();
    if (utf8)
        return TTextCode::Utf8;
    return host == 0 || host == 6 || (host == 11 && version == 50) ? TTextCode::Oem : TTextCode::Ansi;
}

TEntry MakeEntry(IEngineHost& host, const ziprec::TCentralFields& h, const std::uint8_t* body, std::int64_t shift)
{
    TEntry e;
    e.Flags = h.Flags;
    e.Method = h.Method;
    e.Time = h.Time;
    e.Date = h.Date;
    e.Crc = h.Crc;
    e.CompSize = h.CompSize;
    e.Size = h.Size;
    std::int64_t local = static_cast<std::int64_t>(h.LocalOffset) + shift;
    if (local >= 0)
        e.LocalOffset = static_cast<std::uint64_t>(local);
    const char* bytes = reinterpret_cast<const char*>(body);
    ziprec::TEntryName name = ziprec::ResolveName(std::string_view(bytes, h.NameLength), h.Flags,
                                                  std::string_view(bytes + h.NameLength, h.ExtraLength));
    e.Name = host.Decode(name.Bytes, NameCode(h, name.Utf8));
    e.AnsiName = host.ToAnsi(e.Name);
    e.IsDir = !e.Name.empty() && (e.Name.back() == u'/' || e.Name.back() == u'\\');
    return e;
}

bool ParseCentral(IEngineHost& host, const std::vector<std::uint8_t>& dir, const TDirectorySpan& span,
                  std::vector<TEntry>& entries)
{
    std::size_t pos = 0;
    entries.reserve(span.Count);
    for (std::uint32_t i = 0; i < span.Count; ++i) {
        ziprec::TCentralFields h;
        if (dir.size() - pos < ziprec::kCentralSize || !ziprec::ParseCentralHeader(&dir[pos], h))
            return false;
        std::size_t body = pos + ziprec::kCentralSize;
        if (dir.size() - body < h.VariableLength())
            return false;
        entries.push_back(MakeEntry(host, h, &dir[body], span.Shift));
        pos = body + h.VariableLength();
    }
    return true;
}

} // namespace

bool TEntry::Encrypted() const { return (Flags & ziprec::kFlagEncrypted) != 0; }

bool TArchive::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const
{
    return offset <= FSize && count <= FSize - offset && FFile->ReadAt(offset, buffer, count);
}

bool TArchive::ReadAt(TReadWindow& w, std::uint64_t offset, void* buffer, std::size_t count) const
{
    if (count > kWindowedMax || offset > FSize || count > FSize - offset)
        return ReadAt(offset, buffer, count);
    if (offset < w.Start || offset - w.Start > w.Size || count > w.Size - (offset - w.Start)) {
        std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, FSize - offset));
        w.Bytes.resize(kWindow);
        w.Size = 0;
        if (!ReadAt(offset, w.Bytes.data(), size))
            return ReadAt(offset, buffer, count);
        w.Start = offset;
        w.Size = size;
    }
    if (count)
        std::memcpy(buffer, w.Bytes.data() + (offset - w.Start), count);
    return true;
}

bool TArchive::DataStart(TReadWindow& w, const TEntry& e, std::uint64_t& start) const
{
    std::uint8_t local[ziprec::kLocalSize];
    ziprec::TLocalFields lh;
    if (e.LocalOffset > FSize || !ReadAt(w, e.LocalOffset, local, sizeof local) || !ziprec::ParseLocalHeader(local, lh))
        return false;
    start = e.LocalOffset + lh.DataOffset();
    const std::uint64_t header = e.Encrypted() ? kCryptHeader : 0;
    return start <= FSize && e.CompSize <= FSize - start && e.CompSize >= header &&
           (e.Method != 0 || e.CompSize - header == e.Size);
}

std::unique_ptr<TArchive> OpenArchive(IEngineHost& host, const std::string& zipName, std::vector<TEntry>& entries,
                                      TArchiveError& error)
{
    std::unique_ptr<IArchiveFile> file = host.OpenArchive(host.Decode(zipName, TTextCode::Ansi));
    if (!file) {
        error = {eeOpenArchive, "Cannot open the archive " + zipName};
        return nullptr;
    }
    std::uint64_t size = file->Size();
    if (size >= kMaxArchiveSize) {
        error = {eeBadArchive, "Archive too large or unreadable: " + zipName};
        return nullptr;
    }
    auto archive = std::make_unique<TArchive>(std::move(file), size);
    TDirectorySpan span;
    if (!FindDirectory(*archive, zipName, span, error))
        return nullptr;
    std::vector<std::uint8_t> dir(span.Size);
    if (!dir.empty() && !archive->ReadAt(span.Start, dir.data(), dir.size())) {
        error = {eeBadArchive, "Cannot read the central directory of " + zipName};
        return nullptr;
    }
    if (!ParseCentral(host, dir, span, entries)) {
        error = {eeBadArchive, "Damaged central directory in " + zipName};
        return nullptr;
    }
    return archive;
}

} // namespace zipcore
