#include "uEngineCore.h"

#include "platform/uJobThread.h"
#include "ziprecords/uZipPaths.h"
#include "ziprecords/uZipRecords.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

using namespace zipeng;

namespace zipcore {

namespace {

constexpr std::size_t kInChunk = 1 << 20;   // compressed bytes read at once
constexpr std::size_t kOutChunk = 4 << 20;  // decompressed bytes written at once
constexpr std::size_t kMinChunk = 4096;
constexpr std::size_t kCryptHeader = 12;
// Below this the hand-over to the reading thread costs more than it saves.
constexpr std::uint64_t kAheadMin = 16 * 1024;
// Small reads (headers, small entries) come from a window read at once:
// under Wine every read of the archive is a round trip to its server.
constexpr std::size_t kWindow = 256 * 1024;
constexpr std::size_t kWindowedMax = 64 * 1024;
// No Zip64: offsets and sizes of the format end below 4 GiB.
constexpr std::uint64_t kMaxArchiveSize = 0xFFFFFFFFull;
constexpr std::uint64_t kBadOffset = ~std::uint64_t{0};

// Traditional PKWARE decryption: three keys stepped by every plain byte.
// Each byte waits for the keys the byte before left, so the time is the
// length of that chain, and the loop is written to keep it short: the
// keystream's factors come straight from a table lookup (the "| 2" folded
// into the table and the key before), and only the low byte of key 0 that
// key 1 needs is looked up for it.
class TDecrypter {
public:
    explicit TDecrypter(const std::string& password)
    {
        for (unsigned char c : password)
            Update(c);
    }
    void Decrypt(std::uint8_t* data, std::size_t n)
    {
        const TTables& tables = Tables();
        const z_crc_t* crc = tables.Crc;
        std::uint32_t k0 = FKeys[0], k1 = FKeys[1], k2 = FKeys[2];
        // The keystream byte is bits 8..15 of t * (t ^ 1), t = k2 | 2; only
        // the low 16 bits of the factors reach those bits.
        std::uint32_t t = k2 | 2;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t x = data[i];
            const std::uint32_t stream = (t * (t ^ 1)) >> 8;
            data[i] = static_cast<std::uint8_t>(stream ^ x);
            const std::uint32_t i0 = (stream ^ x ^ k0) & 0xFF;
            const std::uint32_t low0 = tables.CrcLow[i0] ^ ((k0 >> 8) & 0xFF);
            k0 = crc[i0] ^ (k0 >> 8);
            k1 = (k1 + low0) * 134775813 + 1;
            const std::uint32_t i2 = (k2 ^ (k1 >> 24)) & 0xFF;
            const std::uint32_t shifted = k2 >> 8;
            k2 = crc[i2] ^ shifted;
            t = tables.CrcNot2[i2] ^ (shifted | 2);
        }
        FKeys[0] = k0, FKeys[1] = k1, FKeys[2] = k2;
    }

private:
    struct TTables {
        const z_crc_t* Crc;
        std::uint32_t CrcNot2[256]; // with bit 1 clear: (a ^ b) | 2 == (a & ~2) ^ (b | 2)
        std::uint8_t CrcLow[256];
    };
    static const TTables& Tables()
    {
        static const TTables tables = [] {
            TTables t{};
            t.Crc = get_crc_table();
            for (int i = 0; i < 256; ++i) {
                t.CrcNot2[i] = static_cast<std::uint32_t>(t.Crc[i]) & ~2u;
                t.CrcLow[i] = static_cast<std::uint8_t>(t.Crc[i]);
            }
            return t;
        }();
        return tables;
    }
    void Update(std::uint8_t c)
    {
        const z_crc_t* table = get_crc_table();
        FKeys[0] = table[(FKeys[0] ^ c) & 0xFF] ^ (FKeys[0] >> 8);
        FKeys[1] = (FKeys[1] + (FKeys[0] & 0xFF)) * 134775813 + 1;
        FKeys[2] = table[(FKeys[2] ^ (FKeys[1] >> 24)) & 0xFF] ^ (FKeys[2] >> 8);
    }
    std::uint32_t FKeys[3] = {0x12345678, 0x23456789, 0x34567890};
};

// A second thread that runs one job at a time for the extracting thread:
// reading and decrypting the next block while the caller inflates, checks
// and writes the one before. Decryption steps every byte through a serial
// chain of keys and costs more than the rest together. The callbacks stay on
// the caller's thread; jobs only read the archive and fill a free buffer.
class TReader {
public:
    void Post(std::function<bool()> job)
    {
        FBusy = true;
        FThread.Post([this, job = std::move(job)] {
            bool ok = false;
            try {
                ok = job();
            } catch (...) {
                ok = false;
            }
            FResult = ok;
        });
    }

    // The posted job's result once it has ended.
    bool Wait()
    {
        FThread.Wait();
        FBusy = false;
        return FResult;
    }

    bool Busy() const { return FBusy; }

private:
    platform::TJobThread FThread;
    bool FResult = false; // written by the job, read after Wait
    bool FBusy = false;   // posted and not waited for; the caller's side only
};

// One thread's window on the archive: the bytes at [Start, Start + Size).
struct TReadWindow {
    std::vector<std::uint8_t> Bytes;
    std::uint64_t Start = 0;
    std::size_t Size = 0;
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
    std::vector<const TEntry*> Chosen;
    std::size_t Current = 0;                // index in Chosen being extracted
    std::vector<std::uint8_t> InBuf[2];     // one being decoded, one filled ahead
    std::vector<std::uint8_t> OutBuf;
    z_stream Inflater{};
    bool InflaterReady = false;
    std::u16string LastDir; // the folder the previous file went into
    // Folders this run made, with the case-folded names made in each so
    // far: a name that matches none there cannot exist yet.
    std::unordered_map<std::u16string, std::unordered_set<std::u16string>> FreshFolders;

    // The next entry's first block, read while the one before is finished.
    // Nothing of it shows until that entry's own checks have passed.
    struct TAhead {
        const TEntry* Entry = nullptr;
        std::string Password;
        std::uint64_t DataStart = 0;        // where its stored data begin
        std::unique_ptr<TDecrypter> Decrypter;
        std::size_t Block = 0;              // which InBuf holds it
        std::size_t Size = 0;
    } Ahead;
    TReadWindow MainWindow, ReaderWindow;
    TReader Reader; // last: its thread ends before anything it uses goes

    TSession(TCommandBlock& cmd, IEngineHost& host) : Cmd(cmd), Host(host)
    {
        std::lock_guard lock(gSessionsLock);
        gSessions.push_back(this);
    }
    ~TSession()
    {
        if (Reader.Busy())
            Reader.Wait();
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

    // The same through a thread's own window: the extracting thread and
    // the reading thread each have one.
    bool ReadAt(TReadWindow& w, std::uint64_t offset, void* buffer, std::size_t count)
    {
        if (count > kWindowedMax || offset > ArchiveSize || count > ArchiveSize - offset)
            return ReadAt(offset, buffer, count);
        if (offset < w.Start || offset - w.Start > w.Size || count > w.Size - (offset - w.Start)) {
            std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, ArchiveSize - offset));
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

    // Creates `dir` and its missing parents: one call when the parent
    // exists, which is the common case inside an archive's tree.
    bool MakeDir(const std::u16string& dir)
    {
        if (dir.size() <= 3)
            return true;
        switch (MakeFolder(dir)) {
        case TFolderResult::Made:
        case TFolderResult::Exists: return true;
        case TFolderResult::Failed: return false;
        case TFolderResult::NoParent: break;
        }
        std::size_t cut = dir.find_last_of(u'\\');
        if (cut == std::u16string::npos || cut < 3 || !MakeDir(dir.substr(0, cut)))
            return false;
        TFolderResult r = MakeFolder(dir);
        return r == TFolderResult::Made || r == TFolderResult::Exists;
    }

    TFolderResult MakeFolder(const std::u16string& dir)
    {
        TFolderResult r = Host.MakeFolder(dir);
        if (r == TFolderResult::Made) {
            IsNewName(dir);
            FreshFolders[dir];
        }
        return r;
    }

    // Notes `path` as made; true when it is in a folder of this run's own
    // and no name made there before matches it in any case. Names beyond
    // ASCII end the folder's freshness: the system's case rules for them
    // are not ours to repeat.
    bool IsNewName(const std::u16string& path)
    {
        std::size_t cut = path.find_last_of(u'\\');
        if (cut == std::u16string::npos)
            return false;
        auto folder = FreshFolders.find(path.substr(0, cut));
        if (folder == FreshFolders.end())
            return false;
        std::u16string name = path.substr(cut + 1);
        for (char16_t& c : name) {
            if (c >= 0x80) {
                FreshFolders.erase(folder);
                return false;
            }
            if (c >= u'A' && c <= u'Z')
                c = static_cast<char16_t>(c + 32);
        }
        return folder->second.insert(std::move(name)).second;
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
    bool DataStart(TReadWindow& w, const TEntry& e, std::uint64_t& start);
    void ReadAhead(std::size_t block);
    bool ReadFirstBlock(std::size_t block);
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

// Whether `password` opens the entry whose 12-byte encryption header this is.
bool PasswordFits(const TEntry& e, const std::uint8_t header[kCryptHeader], const std::string& password)
{
    // Info-ZIP writes the DOS time's high byte when the sizes follow the data.
    std::uint8_t check = (e.Flags & ziprec::kFlagDescriptor) ? static_cast<std::uint8_t>(e.Time >> 8)
                                                             : static_cast<std::uint8_t>(e.Crc >> 24);
    std::uint8_t h[kCryptHeader];
    std::memcpy(h, header, kCryptHeader);
    TDecrypter(password).Decrypt(h, kCryptHeader);
    return h[kCryptHeader - 1] == check;
}

bool TSession::CheckPassword(const TEntry& e, const std::uint8_t header[kCryptHeader], std::string& password)
{
    auto fits = [&](const std::string& pw) { return PasswordFits(e, header, pw); };
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

// The local header, the data start it gives and the stored data must all lie
// inside the archive before anything of them is read. Only reads: the
// reading thread uses it too.
bool TSession::DataStart(TReadWindow& w, const TEntry& e, std::uint64_t& start)
{
    bool encrypted = (e.Flags & ziprec::kFlagEncrypted) != 0;
    std::uint8_t local[ziprec::kLocalSize];
    ziprec::TLocalFields lh;
    if (e.LocalOffset > ArchiveSize || !ReadAt(w, e.LocalOffset, local, sizeof local) ||
        !ziprec::ParseLocalHeader(local, lh))
        return false;
    start = e.LocalOffset + lh.DataOffset();
    return start <= ArchiveSize && e.CompSize <= ArchiveSize - start && (!encrypted || e.CompSize >= kCryptHeader) &&
           (e.Method != 0 || e.CompSize - (encrypted ? kCryptHeader : 0) == e.Size);
}

// On the reading thread: the next entry's first block, decrypted with the
// password that opened the entries so far. Any doubt leaves it unused.
bool TSession::ReadFirstBlock(std::size_t block)
{
    const TEntry& e = *Ahead.Entry;
    std::uint64_t start = 0;
    if (!DataStart(ReaderWindow, e, start))
        return false;
    Ahead.DataStart = start;
    std::uint64_t remaining = e.CompSize;
    if (e.Flags & ziprec::kFlagEncrypted) {
        std::uint8_t header[kCryptHeader];
        if (!ReadAt(ReaderWindow, start, header, kCryptHeader) || !PasswordFits(e, header, Ahead.Password))
            return false;
        Ahead.Decrypter = std::make_unique<TDecrypter>(Ahead.Password);
        Ahead.Decrypter->Decrypt(header, kCryptHeader);
        start += kCryptHeader;
        remaining -= kCryptHeader;
    }
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, InBuf[block].size()));
    if (!ReadAt(ReaderWindow, start, InBuf[block].data(), want))
        return false;
    if (Ahead.Decrypter)
        Ahead.Decrypter->Decrypt(InBuf[block].data(), want);
    Ahead.Size = want;
    return true;
}

// Starts reading the next chosen entry into InBuf[block] (free until the
// next Decode) while the caller finishes the current one. Tiny entries and
// those that will not be decoded are left to the caller.
void TSession::ReadAhead(std::size_t block)
{
    if (Current + 1 >= Chosen.size() || Stopped())
        return;
    const TEntry& next = *Chosen[Current + 1];
    if (next.IsDir || next.CompSize < kAheadMin || (next.Method != 0 && next.Method != 8))
        return;
    Ahead.Entry = &next;
    Ahead.Password = Password;
    Ahead.Block = block;
    Ahead.Decrypter.reset();
    Ahead.Size = 0;
    Reader.Post([this, block] { return ReadFirstBlock(block); });
}

// Streams the entry's data through decryption and inflation into `out` (or
// nowhere when testing), reporting progress. Reports its own errors. The
// caller has checked that the stored data lie inside the archive. The block
// after the one being inflated is read and decrypted on the reading thread.
bool TSession::Decode(const TEntry& e, std::uint64_t dataStart, IOutputFile* out, const std::string& password)
{
    bool encrypted = (e.Flags & ziprec::kFlagEncrypted) != 0;
    std::uint64_t remaining = e.CompSize;
    std::uint64_t readPos = dataStart;
    std::unique_ptr<TDecrypter> decrypter;
    std::size_t cur = 0;            // the InBuf being decoded
    std::size_t inAvail = 0;
    std::uint8_t* inNext = InBuf[0].data();
    bool posted = false;            // this entry's next block is being read

    // A block read ahead for exactly this entry and password is taken over.
    bool adopted = false;
    if (Reader.Busy()) {
        bool ready = Reader.Wait();
        if (ready && Ahead.Entry == &e && Ahead.DataStart == dataStart && Ahead.Password == password) {
            adopted = true;
            decrypter = std::move(Ahead.Decrypter);
            std::uint64_t skip = (encrypted ? kCryptHeader : 0) + Ahead.Size;
            readPos += skip;
            remaining -= skip;
            cur = Ahead.Block;
            inNext = InBuf[cur].data();
            inAvail = Ahead.Size;
        }
        Ahead.Entry = nullptr;
        Ahead.Decrypter.reset();
    }
    // Whatever leaves early waits for its reads: the buffers and the
    // decrypter are needed again.
    struct TWaitReads {
        TReader& Reader;
        bool& Posted;
        ~TWaitReads()
        {
            if (Posted)
                Reader.Wait();
        }
    } waitReads{Reader, posted};

    if (!adopted && encrypted) {
        decrypter = std::make_unique<TDecrypter>(password);
        std::uint8_t header[kCryptHeader];
        if (!ReadAt(MainWindow, dataStart, header, kCryptHeader))
            return Error(eeBadData, "Damaged data in " + e.AnsiName), false;
        decrypter->Decrypt(header, kCryptHeader);
        readPos += kCryptHeader;
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

    // Stored data go straight from the read block to the file; `pending`
    // then counts what was written since the last report, so progress comes
    // at the same points either way.
    auto write = [&](const std::uint8_t* data, std::size_t n) -> bool {
        crc = static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(n)));
        if (out && n && !out->Write(data, n)) {
            Error(eeCreateFile, "Cannot write " + e.AnsiName);
            return false;
        }
        return true;
    };
    auto flush = [&]() -> bool {
        if (e.Method != 0 && !write(OutBuf.data(), pending))
            return false;
        pending = 0;
        Report(acProgress, 0, {}, static_cast<std::int64_t>(produced - reported));
        reported = produced;
        return !Stopped();
    };
    // The next block of this entry into the other buffer, or, with all of
    // it read, the next entry's first.
    auto readNext = [&] {
        std::size_t other = cur ^ 1;
        if (remaining == 0) {
            ReadAhead(other);
            return;
        }
        std::uint8_t* into = InBuf[other].data();
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, InBuf[other].size()));
        TDecrypter* keys = decrypter.get();
        std::uint64_t at = readPos;
        Reader.Post([this, into, want, keys, at] {
            if (!ReadAt(at, into, want))
                return false;
            if (keys)
                keys->Decrypt(into, want);
            return true;
        });
        posted = true;
    };
    auto refill = [&]() -> bool {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, InBuf[cur].size()));
        bool ok;
        if (posted) {
            posted = false;
            ok = Reader.Wait();
            cur ^= 1;
        } else {
            ok = ReadAt(MainWindow, readPos, InBuf[cur].data(), want);
            if (ok && decrypter)
                decrypter->Decrypt(InBuf[cur].data(), want);
        }
        if (!ok) {
            Error(eeBadData, "Damaged data in " + e.AnsiName + " (archive ends early)");
            return false;
        }
        readPos += want;
        remaining -= want;
        inNext = InBuf[cur].data();
        inAvail = want;
        readNext();
        return true;
    };
    if (adopted)
        readNext();

    while (!finished) {
        if (inAvail == 0 && remaining > 0 && !refill())
            return false;
        if (e.Method == 0) {
            std::size_t n = std::min(inAvail, OutBuf.size() - pending);
            if (!write(inNext, n))
                return false;
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
    bool encrypted = (e.Flags & ziprec::kFlagEncrypted) != 0;
    std::uint64_t dataStart = 0;
    if (!DataStart(MainWindow, e, dataStart)) {
        Error(eeBadData, "Damaged data in " + e.AnsiName);
        return;
    }
    std::string password;
    if (encrypted) {
        std::uint8_t header[kCryptHeader];
        if (!ReadAt(MainWindow, dataStart, header, kCryptHeader)) {
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
    std::unique_ptr<IOutputFile> out;
    if (!exists) {
        if (IsNewName(target))
            out = Host.CreateFreshOutput(target);
        if (!out)
            out = Host.CreateOutput(target, true);
    }
    bool replacing = !out;
    std::u16string temp = replacing ? target + u".~zetmp" : target;
    if (replacing) {
        IsNewName(temp);
        out = Host.CreateOutput(temp, false);
    }
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
        std::vector<const TEntry*>& chosen = s.Chosen;
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
            for (auto& block : s.InBuf)
                block.resize(std::min(chunk, kInChunk));
            s.OutBuf.resize(chunk);
        } catch (const std::bad_alloc&) {
            return kResultNoMemory;
        }
        s.Report(acItemCount, static_cast<std::int32_t>(chosen.size()));
        s.Report(acTotalSize, 0, {}, total);
        for (s.Current = 0; s.Current < chosen.size(); ++s.Current) {
            if (s.Stopped())
                break;
            s.ExtractEntry(*chosen[s.Current]);
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
