#include "uEngineCore.h"

#include "zip/uZipPaths.h"
#include "zip/uZipRecords.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace zipeng;

namespace zipcore {

namespace {

constexpr std::size_t kInChunk = 1 << 20;   // compressed bytes read at once
constexpr std::size_t kOutChunk = 4 << 20;  // decompressed bytes written at once
constexpr std::size_t kMinChunk = 4096;
constexpr std::size_t kCryptHeader = 12;
// No Zip64: offsets and sizes of the format end below 4 GiB.
constexpr std::uint64_t kMaxArchiveSize = 0xFFFFFFFFull;
constexpr std::uint64_t kBadOffset = ~std::uint64_t{0};

// Traditional PKWARE decryption: three keys stepped by every plain byte.
class TDecrypter {
public:
    explicit TDecrypter(const std::string& password)
    {
        for (unsigned char c : password)
            Update(c);
    }
    void Decrypt(std::uint8_t* data, std::size_t n)
    {
        const z_crc_t* table = get_crc_table();
        std::uint32_t k0 = FKeys[0], k1 = FKeys[1], k2 = FKeys[2];
        for (std::size_t i = 0; i < n; ++i) {
            std::uint32_t t = (k2 & 0xFFFF) | 2;
            std::uint8_t c = data[i] ^ static_cast<std::uint8_t>((t * (t ^ 1)) >> 8);
            data[i] = c;
            k0 = table[(k0 ^ c) & 0xFF] ^ (k0 >> 8);
            k1 = (k1 + (k0 & 0xFF)) * 134775813 + 1;
            k2 = table[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
        }
        FKeys[0] = k0, FKeys[1] = k1, FKeys[2] = k2;
    }

private:
    void Update(std::uint8_t c)
    {
        const z_crc_t* table = get_crc_table();
        FKeys[0] = table[(FKeys[0] ^ c) & 0xFF] ^ (FKeys[0] >> 8);
        FKeys[1] = (FKeys[1] + (FKeys[0] & 0xFF)) * 134775813 + 1;
        FKeys[2] = table[(FKeys[2] ^ (FKeys[1] >> 24)) & 0xFF] ^ (FKeys[2] >> 8);
    }
    std::uint32_t FKeys[3] = {0x12345678, 0x23456789, 0x34567890};
};

struct TEntry {
    std::uint16_t Flags = 0, Method = 0, Time = 0, Date = 0;
    std::uint32_t Crc = 0;
    std::uint64_t CompSize = 0, Size = 0;
    std::uint64_t LocalOffset = kBadOffset; // in the file, or kBadOffset
    std::u16string Name;    // as stored, "/" separated
    std::string AnsiName;   // for reports
    bool IsDir = false;
};

// Why a run stops early.
enum class TStop { None, Cancelled, Aborted, HandlerException };

struct TSession;
std::mutex gSessionsLock;
std::vector<TSession*> gSessions;
std::atomic<std::int32_t> gNextHandle{1};

struct TSession {
    TCommandBlock& Cmd;
    IEngineHost& Host;
    std::int32_t Handle = gNextHandle.fetch_add(1);
    std::atomic<bool> AbortRequested{false};
    TStop Stop = TStop::None;
    std::string ZipName;
    std::string Password;
    bool NoMorePasswordRequests = false;
    std::int32_t Extracted = 0;
    std::u16string BaseDir;
    std::unique_ptr<IArchiveFile> Archive;
    std::uint64_t ArchiveSize = 0;
    std::vector<TEntry> Entries;
    std::vector<std::uint8_t> InBuf, OutBuf;
    z_stream Inflater{};
    bool InflaterReady = false;
    std::u16string LastDir; // the folder the previous file went into

    TSession(TCommandBlock& cmd, IEngineHost& host) : Cmd(cmd), Host(host)
    {
        std::lock_guard lock(gSessionsLock);
        gSessions.push_back(this);
    }
    ~TSession()
    {
        if (InflaterReady)
            inflateEnd(&Inflater);
        std::lock_guard lock(gSessionsLock);
        gSessions.erase(std::find(gSessions.begin(), gSessions.end(), this));
    }
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    bool Stopped()
    {
        if (Stop == TStop::None && AbortRequested)
            Stop = TStop::Aborted;
        return Stop != TStop::None;
    }

    // One callback; the caller fills the record and reads the reply back.
    void Call(TCallbackRec& rec, std::int32_t action)
    {
        rec.Action = action;
        if (!Cmd.Callback)
            return;
        std::int32_t r = Cmd.Callback(Cmd.Caller, &rec);
        if (r == kHandlerException && Stop == TStop::None)
            Stop = TStop::HandlerException;
        else if (r != kGoOn && Stop == TStop::None)
            Stop = TStop::Cancelled;
    }

    void Report(std::int32_t action, std::int32_t arg = 0, const std::string& text = {}, std::int64_t size = 0)
    {
        TCallbackRec rec{};
        rec.Arg = arg;
        rec.Text = text.c_str();
        rec.Size = size;
        Call(rec, action);
    }

    void Error(TEngineError code, const std::string& text) { Report(acMessage, code, text); }

    void Skipped(TEngineError code, TSkipType type, const std::string& name)
    {
        TCallbackRec rec{};
        rec.Arg = code;
        rec.Text = name.c_str();
        rec.SkipType = type;
        Call(rec, acSkipped);
    }

    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count)
    {
        return offset <= ArchiveSize && count <= ArchiveSize - offset && Archive->ReadAt(offset, buffer, count);
    }

    // Creates `dir` and its missing parents: one call when the parent
    // exists, which is the common case inside an archive's tree.
    bool MakeDir(const std::u16string& dir)
    {
        if (dir.size() <= 3)
            return true;
        switch (Host.MakeFolder(dir)) {
        case TFolderResult::Made:
        case TFolderResult::Exists: return true;
        case TFolderResult::Failed: return false;
        case TFolderResult::NoParent: break;
        }
        std::size_t cut = dir.find_last_of(u'\\');
        if (cut == std::u16string::npos || cut < 3 || !MakeDir(dir.substr(0, cut)))
            return false;
        TFolderResult r = Host.MakeFolder(dir);
        return r == TFolderResult::Made || r == TFolderResult::Exists;
    }

    // The folder that holds `path` exists afterwards.
    bool MakeParents(const std::u16string& path)
    {
        std::size_t cut = path.find_last_of(u'\\');
        if (cut == std::u16string::npos)
            return true;
        std::u16string dir = path.substr(0, cut);
        if (dir == LastDir)
            return true;
        if (!MakeDir(dir))
            return false;
        LastDir = dir;
        return true;
    }

    bool ReadDirectory();
    bool ParseCentral(const std::vector<std::uint8_t>& dir, std::uint32_t count, std::int64_t shift);
    bool Selected(const TEntry& e) const;
    void ExtractEntry(const TEntry& e);
    bool CheckPassword(const TEntry& e, const std::uint8_t header[kCryptHeader], std::string& password);
    bool Decode(const TEntry& e, std::uint64_t dataStart, IOutputFile* out, const std::string& password);
};

bool TSession::ReadDirectory()
{
    Archive = Host.OpenArchive(Host.Decode(ZipName, TTextCode::Ansi));
    if (!Archive) {
        Error(eeOpenArchive, "Cannot open the archive " + ZipName);
        return false;
    }
    ArchiveSize = Archive->Size();
    if (ArchiveSize >= kMaxArchiveSize) {
        Error(eeBadArchive, "Archive too large or unreadable: " + ZipName);
        return false;
    }
    std::size_t window = static_cast<std::size_t>(std::min<std::uint64_t>(ArchiveSize, ziprec::kEndWindow));
    std::vector<std::uint8_t> tail(window);
    std::ptrdiff_t at = -1;
    if (window >= ziprec::kEndSize && ReadAt(ArchiveSize - window, tail.data(), window))
        at = ziprec::FindEndRecord(tail.data(), window);
    ziprec::TEndFields end;
    if (at < 0 || !ziprec::ParseEndRecord(&tail[static_cast<std::size_t>(at)], end)) {
        Error(eeBadArchive, "Not a zip archive: " + ZipName);
        return false;
    }
    if (end.DiskNumber != 0 || end.CentralDisk != 0 || end.EntriesOnDisk != end.TotalEntries) {
        Error(eeBadArchive, "Spanned archives are not supported: " + ZipName);
        return false;
    }
    if (end.TotalEntries == 0xFFFF || end.CentralSize == 0xFFFFFFFF || end.CentralOffset == 0xFFFFFFFF) {
        Error(eeBadArchive, "Zip64 archives are not supported: " + ZipName);
        return false;
    }
    // Trust the directory's position relative to the end record over the
    // stored offset: data prepended to the archive moves both. Each entry
    // needs at least its fixed header in the directory.
    std::uint64_t endPos = ArchiveSize - window + static_cast<std::uint64_t>(at);
    if (end.CentralSize > endPos || std::uint64_t{end.TotalEntries} * ziprec::kCentralSize > end.CentralSize) {
        Error(eeBadArchive, "Damaged central directory in " + ZipName);
        return false;
    }
    std::uint64_t dirPos = endPos - end.CentralSize;
    std::vector<std::uint8_t> dir(end.CentralSize);
    if (!dir.empty() && !ReadAt(dirPos, dir.data(), dir.size())) {
        Error(eeBadArchive, "Cannot read the central directory of " + ZipName);
        return false;
    }
    // Local header offsets are stored relative to the archive's start; shift
    // them by the same amount as the directory.
    std::int64_t shift = static_cast<std::int64_t>(dirPos) - static_cast<std::int64_t>(end.CentralOffset);
    if (!ParseCentral(dir, end.TotalEntries, shift)) {
        Error(eeBadArchive, "Damaged central directory in " + ZipName);
        return false;
    }
    return true;
}

bool TSession::ParseCentral(const std::vector<std::uint8_t>& dir, std::uint32_t count, std::int64_t shift)
{
    std::size_t pos = 0;
    Entries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        ziprec::TCentralFields h;
        if (dir.size() - pos < ziprec::kCentralSize || !ziprec::ParseCentralHeader(&dir[pos], h))
            return false;
        std::size_t body = pos + ziprec::kCentralSize;
        if (dir.size() - body < h.VariableLength())
            return false;
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
        const char* bytes = reinterpret_cast<const char*>(&dir[body]);
        ziprec::TEntryName name = ziprec::ResolveName(std::string_view(bytes, h.NameLength), h.Flags,
                                                      std::string_view(bytes + h.NameLength, h.ExtraLength));
        // Without a UTF-8 mark: OEM from DOS-style hosts, else the ANSI page.
        unsigned host = h.Host(), ver = h.HostVersion();
        TTextCode code = name.Utf8 ? TTextCode::Utf8
                         : (host == 0 || host == 6 || (host == 11 && ver == 50)) ? TTextCode::Oem
                                                                                 : TTextCode::Ansi;
        e.Name = Host.Decode(name.Bytes, code);
        e.AnsiName = Host.ToAnsi(e.Name);
        e.IsDir = !e.Name.empty() && (e.Name.back() == u'/' || e.Name.back() == u'\\');
        Entries.push_back(std::move(e));
        pos = body + h.VariableLength();
    }
    return true;
}

char16_t Fold(char16_t c)
{
    if (c == u'\\')
        return u'/';
    if ((c >= u'A' && c <= u'Z') || (c >= u'\u00C0' && c <= u'\u00DE' && c != u'\u00D7'))
        return static_cast<char16_t>(c + 32);
    return c;
}

} // namespace

bool WildMatch(std::u16string_view pattern, std::u16string_view text)
{
    std::size_t p = 0, s = 0, starP = std::u16string_view::npos, starS = 0;
    while (s < text.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = ++p;
            starS = s;
        } else if (p < pattern.size() && (pattern[p] == u'?' || Fold(pattern[p]) == Fold(text[s]))) {
            ++p, ++s;
        } else if (starP != std::u16string_view::npos) {
            p = starP;
            s = ++starS;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

namespace {

bool TSession::Selected(const TEntry& e) const
{
    if (Cmd.SpecCount <= 0 || !Cmd.Specs)
        return true;
    for (std::int32_t i = 0; i < Cmd.SpecCount; ++i)
        if (Cmd.Specs[i].Pattern && WildMatch(Host.Decode(Cmd.Specs[i].Pattern, TTextCode::Ansi), e.Name))
            return true;
    return false;
}

bool TSession::CheckPassword(const TEntry& e, const std::uint8_t header[kCryptHeader], std::string& password)
{
    // Info-ZIP writes the DOS time's high byte when the sizes follow the data.
    std::uint8_t check = (e.Flags & ziprec::kFlagDescriptor) ? static_cast<std::uint8_t>(e.Time >> 8)
                                                             : static_cast<std::uint8_t>(e.Crc >> 24);
    auto fits = [&](const std::string& pw) {
        std::uint8_t h[kCryptHeader];
        std::memcpy(h, header, kCryptHeader);
        TDecrypter(pw).Decrypt(h, kCryptHeader);
        return h[kCryptHeader - 1] == check;
    };
    if (fits(Password)) {
        password = Password;
        return true;
    }
    std::int32_t repeat = std::clamp(Cmd.PwdReqCount, 0, kMaxPasswordRequests);
    while (repeat > 0 && !NoMorePasswordRequests && !Stopped()) {
        TCallbackRec rec{};
        rec.Arg = repeat;
        rec.Text = e.AnsiName.c_str();
        Call(rec, acPassword);
        if (Stopped())
            return false;
        if (rec.Action == kReplySkipAll)
            NoMorePasswordRequests = true;
        if (rec.Action != kReplyAccept)
            return false;
        std::string answer(rec.Reply, strnlen(rec.Reply, kMaxPassword));
        if (fits(answer)) {
            Password = password = answer;
            return true;
        }
        repeat = std::min(rec.Arg, kMaxPasswordRequests) - 1;
    }
    return false;
}

// Streams the entry's data through decryption and inflation into `out` (or
// nowhere when testing), reporting progress. Reports its own errors. The
// caller has checked that the stored data lie inside the archive.
bool TSession::Decode(const TEntry& e, std::uint64_t dataStart, IOutputFile* out, const std::string& password)
{
    std::uint64_t remaining = e.CompSize;
    std::unique_ptr<TDecrypter> decrypter;
    if (e.Flags & ziprec::kFlagEncrypted) {
        decrypter = std::make_unique<TDecrypter>(password);
        std::uint8_t header[kCryptHeader];
        if (!ReadAt(dataStart, header, kCryptHeader))
            return Error(eeBadData, "Damaged data in " + e.AnsiName), false;
        decrypter->Decrypt(header, kCryptHeader);
        dataStart += kCryptHeader;
        remaining -= kCryptHeader;
    }
    if (e.Method == 8) {
        if (!InflaterReady) {
            if (inflateInit2(&Inflater, -MAX_WBITS) != Z_OK)
                return Error(eeNoMemory, "Not enough memory to inflate " + e.AnsiName), false;
            InflaterReady = true;
        } else {
            inflateReset(&Inflater);
        }
    }
    std::uint64_t produced = 0;     // bytes decoded so far
    std::size_t pending = 0;        // decoded bytes in OutBuf not yet written
    std::uint64_t reported = 0;
    std::uint32_t crc = 0;
    bool finished = false;
    std::size_t inAvail = 0;
    std::uint8_t* inNext = InBuf.data();
    std::uint64_t readPos = dataStart;

    auto flush = [&]() -> bool {
        crc = static_cast<std::uint32_t>(crc32(crc, OutBuf.data(), static_cast<uInt>(pending)));
        if (out && pending && !out->Write(OutBuf.data(), pending)) {
            Error(eeCreateFile, "Cannot write " + e.AnsiName);
            return false;
        }
        pending = 0;
        Report(acProgress, 0, {}, static_cast<std::int64_t>(produced - reported));
        reported = produced;
        return !Stopped();
    };
    auto refill = [&]() -> bool {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, InBuf.size()));
        if (!ReadAt(readPos, InBuf.data(), want)) {
            Error(eeBadData, "Damaged data in " + e.AnsiName + " (archive ends early)");
            return false;
        }
        if (decrypter)
            decrypter->Decrypt(InBuf.data(), want);
        readPos += want;
        remaining -= want;
        inNext = InBuf.data();
        inAvail = want;
        return true;
    };

    while (!finished) {
        if (inAvail == 0 && remaining > 0 && !refill())
            return false;
        if (e.Method == 0) {
            std::size_t n = std::min(inAvail, OutBuf.size() - pending);
            std::memcpy(OutBuf.data() + pending, inNext, n);
            inNext += n, inAvail -= n, pending += n, produced += n;
            finished = remaining == 0 && inAvail == 0;
        } else {
            // Never ask for more than one byte past the declared size, so a
            // lying header cannot make us fill the disk.
            std::uint64_t room = std::min<std::uint64_t>(OutBuf.size() - pending,
                                                         e.Size - std::min<std::uint64_t>(produced, e.Size) + 1);
            Inflater.next_in = inNext;
            Inflater.avail_in = static_cast<uInt>(inAvail);
            Inflater.next_out = OutBuf.data() + pending;
            Inflater.avail_out = static_cast<uInt>(room);
            int z = inflate(&Inflater, Z_NO_FLUSH);
            std::size_t made = static_cast<std::size_t>(room - Inflater.avail_out);
            inNext = Inflater.next_in;
            inAvail = Inflater.avail_in;
            pending += made, produced += made;
            if (z == Z_STREAM_END)
                finished = true;
            else if (z == Z_NEED_DICT || z == Z_DATA_ERROR || z == Z_STREAM_ERROR || z == Z_MEM_ERROR ||
                     (made == 0 && inAvail == 0 && remaining == 0))
                return Error(eeBadData, "Damaged data in " + e.AnsiName), false;
        }
        if (produced > e.Size)
            return Error(eeSizeExceeded, "Data of " + e.AnsiName + " exceed the declared size"), false;
        if ((pending == OutBuf.size() || finished) && !flush())
            return false;
    }
    if (produced != e.Size)
        return Error(eeBadData, "Damaged data in " + e.AnsiName + " (size differs)"), false;
    if (crc != e.Crc)
        return Error(eeBadCRC, "CRC error in " + e.AnsiName), false;
    return true;
}

void TSession::ExtractEntry(const TEntry& e)
{
    bool test = Cmd.Test != 0;
    std::u16string rel = ziprec::SafeRelativePath(e.Name, Cmd.DirNames != 0);
    if (rel.empty()) {
        Skipped(eeUnsafePath, stUnsafePath, e.AnsiName);
        return;
    }
    std::u16string target = BaseDir + rel;
    if (e.IsDir) {
        if (!test && Cmd.DirNames && !(MakeParents(target + u"\\")))
            Error(eeCreateFile, "Cannot create folder " + e.AnsiName);
        return;
    }
    // With plain overwriting the file's creation tells whether it existed;
    // asking first would cost a second directory scan under Wine.
    bool exists = false;
    if (!test && (!Cmd.Overwrite || Cmd.Freshen || Cmd.Update)) {
        TTargetInfo info = Host.Probe(target, e.Date, e.Time);
        exists = info.Exists;
        if (exists && info.IsFolder) {
            Skipped(eeCreateFile, stFileExists, e.AnsiName);
            return;
        }
        bool newer = !exists || info.OlderThanEntry;
        if (Cmd.Freshen && !Cmd.Update && !exists) {
            Skipped(eeNone, stOnFreshen, e.AnsiName);
            return;
        }
        if ((Cmd.Freshen || Cmd.Update) && exists && !newer) {
            Skipped(eeNone, stFileExists, e.AnsiName);
            return;
        }
        if (exists && !Cmd.Overwrite && !Cmd.Freshen && !Cmd.Update) {
            Skipped(eeNone, stNoOverwrite, e.AnsiName);
            return;
        }
    }
    if (e.Method != 0 && e.Method != 8) {
        Error(eeUnsupported, "Unsupported compression method " + std::to_string(e.Method) + " in " + e.AnsiName);
        return;
    }
    if ((e.Flags & (ziprec::kFlagEncrypted | ziprec::kFlagStrongCrypto)) ==
        (ziprec::kFlagEncrypted | ziprec::kFlagStrongCrypto)) {
        Error(eeUnsupported, "Unsupported encryption in " + e.AnsiName);
        return;
    }

    Report(acNewFile, 0, e.AnsiName, static_cast<std::int64_t>(e.Size));
    if (Stopped())
        return;
    // The local header, the data start it gives and the stored data must all
    // lie inside the archive before anything of them is read.
    bool encrypted = (e.Flags & ziprec::kFlagEncrypted) != 0;
    std::uint8_t local[ziprec::kLocalSize];
    ziprec::TLocalFields lh;
    std::uint64_t dataStart = 0;
    bool sound = e.LocalOffset <= ArchiveSize && ReadAt(e.LocalOffset, local, sizeof local) &&
                 ziprec::ParseLocalHeader(local, lh);
    if (sound) {
        dataStart = e.LocalOffset + lh.DataOffset();
        sound = dataStart <= ArchiveSize && e.CompSize <= ArchiveSize - dataStart &&
                (!encrypted || e.CompSize >= kCryptHeader) &&
                (e.Method != 0 || e.CompSize - (encrypted ? kCryptHeader : 0) == e.Size);
    }
    if (!sound) {
        Error(eeBadData, "Damaged data in " + e.AnsiName);
        return;
    }
    std::string password;
    if (encrypted) {
        std::uint8_t header[kCryptHeader];
        if (!ReadAt(dataStart, header, kCryptHeader)) {
            Error(eeBadData, "Damaged data in " + e.AnsiName);
            return;
        }
        if (!CheckPassword(e, header, password)) {
            if (!Stopped())
                Error(eeBadPassword, "Wrong password for " + e.AnsiName);
            return;
        }
    }
    if (test) {
        if (Decode(e, dataStart, nullptr, password))
            ++Extracted;
        return;
    }
    // An existing file is replaced only once the new data checked out, so a
    // damaged entry never destroys a good file; a new file is written in place.
    if (!MakeParents(target)) {
        Error(eeCreateFile, "Cannot create file " + e.AnsiName);
        return;
    }
    std::unique_ptr<IOutputFile> out = exists ? nullptr : Host.CreateOutput(target, true);
    bool replacing = !out;
    std::u16string temp = replacing ? target + u".~zetmp" : target;
    if (replacing)
        out = Host.CreateOutput(temp, false);
    if (!out) {
        Error(eeCreateFile, "Cannot create file " + e.AnsiName);
        return;
    }
    bool ok = Decode(e, dataStart, out.get(), password);
    if (ok)
        out->SetTime(e.Date, e.Time);
    if (!out->Close() && ok) {
        Error(eeCreateFile, "Cannot write " + e.AnsiName);
        ok = false;
    }
    out.reset();
    if (ok && replacing && !Host.Replace(temp, target)) {
        Error(eeCreateFile, "Cannot create file " + e.AnsiName);
        ok = false;
    }
    if (!ok)
        Host.Remove(temp);
    else
        ++Extracted;
}

} // namespace

std::int32_t UnzExec(TCommandBlock& cmd, IEngineHost& host)
{
    TSession s(cmd, host);
    s.Report(acAbortHandle, s.Handle);
    s.ZipName = cmd.ZipName ? cmd.ZipName : "";
    if (cmd.Password)
        s.Password.assign(cmd.Password, strnlen(cmd.Password, kMaxPassword));
    if (cmd.ExtractDir && *cmd.ExtractDir) {
        s.BaseDir = host.Decode(cmd.ExtractDir, TTextCode::Ansi);
        if (!s.BaseDir.empty() && s.BaseDir.back() != u'\\' && s.BaseDir.back() != u'/')
            s.BaseDir += u'\\';
    }
    if (s.ReadDirectory() && !s.Stopped()) {
        std::vector<const TEntry*> chosen;
        std::int64_t total = 0;
        std::uint64_t largest = 0;
        for (const TEntry& e : s.Entries)
            if (s.Selected(e)) {
                chosen.push_back(&e);
                total += static_cast<std::int64_t>(e.Size);
                largest = std::max({largest, e.Size, e.CompSize});
            }
        // Buffers as large as the biggest entry needs, up to a chunk each.
        std::size_t chunk = static_cast<std::size_t>(std::clamp<std::uint64_t>(largest + 1, kMinChunk, kOutChunk));
        try {
            s.InBuf.resize(std::min(chunk, kInChunk));
            s.OutBuf.resize(chunk);
        } catch (const std::bad_alloc&) {
            return kResultNoMemory;
        }
        s.Report(acItemCount, static_cast<std::int32_t>(chosen.size()));
        s.Report(acTotalSize, 0, {}, total);
        for (const TEntry* e : chosen) {
            if (s.Stopped())
                break;
            s.ExtractEntry(*e);
        }
    }
    if (s.Stop == TStop::None)
        s.Report(acEndBatch);
    switch (s.Stopped() ? s.Stop : TStop::None) {
    case TStop::Cancelled: return kResultCancelled;
    case TStop::Aborted: return kResultAborting;
    case TStop::HandlerException: return kResultHandlerException;
    default: return s.Extracted;
    }
}

void Abort(std::int32_t handle)
{
    std::lock_guard lock(gSessionsLock);
    for (TSession* s : gSessions)
        if (s->Handle == handle)
            s->AbortRequested = true;
}

} // namespace zipcore
