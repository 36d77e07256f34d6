// ZipEng179.dll: the unzip engine. It reads a single-file zip archive, checks
// each entry's password, decrypts (traditional PKWARE encryption), inflates,
// checks CRC-32 and writes the files, reporting every step through the
// caller's callback. The archive component drives it through one call.
#include "zip/uZipContract.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace zipeng;

namespace {

constexpr std::int32_t kBuildNumber = 1790102;
constexpr std::size_t kInChunk = 1 << 20;   // compressed bytes read at once
constexpr std::size_t kOutChunk = 4 << 20;  // decompressed bytes written at once
constexpr std::uint32_t kSigLocal = 0x04034B50;
constexpr std::uint32_t kSigCentral = 0x02014B50;
constexpr std::uint32_t kSigEnd = 0x06054B50;
constexpr std::uint32_t kEndSize = 22;
constexpr std::uint32_t kMaxComment = 65535;

HMODULE gModule = nullptr;
char gPath[MAX_PATH + 1] = "ZipEng179.dll";

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Get32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::wstring ToWide(const std::string& text, UINT codePage)
{
    if (text.empty())
        return {};
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
    return w;
}

std::string ToAnsi(const std::wstring& text)
{
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), s.data(), n, nullptr, nullptr);
    return s;
}

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
    std::uint16_t MadeBy = 0, Flags = 0, Method = 0, Time = 0, Date = 0;
    std::uint32_t Crc = 0, CompSize = 0, Size = 0, LocalOffset = 0;
    std::wstring Name;      // as stored, "/" separated
    std::string AnsiName;   // for reports
    bool IsDir = false;
};

class THandle {
public:
    explicit THandle(HANDLE h = INVALID_HANDLE_VALUE) : F(h) {}
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    ~THandle() { Close(); }
    void Close()
    {
        if (F != INVALID_HANDLE_VALUE)
            CloseHandle(F);
        F = INVALID_HANDLE_VALUE;
    }
    void Reset(HANDLE h)
    {
        Close();
        F = h;
    }
    HANDLE Get() const { return F; }
    bool Valid() const { return F != INVALID_HANDLE_VALUE; }

private:
    HANDLE F;
};

// Why a run stops early.
enum class TStop { None, Cancelled, Aborted, HandlerException };

bool MakeDir(const std::wstring& dir);

struct TSession;
std::mutex gSessionsLock;
std::vector<TSession*> gSessions;
std::atomic<std::int32_t> gNextHandle{1};

struct TSession {
    TCommandBlock& Cmd;
    std::int32_t Handle = gNextHandle.fetch_add(1);
    std::atomic<bool> AbortRequested{false};
    TStop Stop = TStop::None;
    std::string Password;
    bool NoMorePasswordRequests = false;
    std::int32_t Extracted = 0;
    std::wstring BaseDir;
    THandle Archive;
    std::uint64_t ArchiveSize = 0;
    std::vector<TEntry> Entries;
    std::vector<std::uint8_t> InBuf, OutBuf;
    z_stream Inflater{};
    bool InflaterReady = false;

    explicit TSession(TCommandBlock& cmd) : Cmd(cmd)
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

    bool Stopped()
    {
        if (Stop == TStop::None && AbortRequested)
            Stop = TStop::Aborted;
        return Stop != TStop::None;
    }

    // One callback; the record is filled by `fill` and read back by the caller.
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

    bool ReadAt(std::uint64_t offset, void* buffer, DWORD count)
    {
        LARGE_INTEGER pos;
        pos.QuadPart = static_cast<LONGLONG>(offset);
        DWORD done = 0;
        return SetFilePointerEx(Archive.Get(), pos, nullptr, FILE_BEGIN) &&
               ReadFile(Archive.Get(), buffer, count, &done, nullptr) && done == count;
    }

    std::wstring LastDir; // the folder the previous file went into

    // The folder that holds `path` exists afterwards.
    bool MakeParents(const std::wstring& path)
    {
        std::size_t cut = path.find_last_of(L'\\');
        if (cut == std::wstring::npos)
            return true;
        std::wstring dir = path.substr(0, cut);
        if (dir == LastDir)
            return true;
        if (!MakeDir(dir))
            return false;
        LastDir = dir;
        return true;
    }

    bool ReadDirectory();
    bool ParseCentral(const std::vector<std::uint8_t>& dir, std::uint32_t count);
    bool Selected(const TEntry& e) const;
    void ExtractEntry(const TEntry& e);
    bool CheckPassword(const TEntry& e, const std::uint8_t header[12], std::string& password);
    bool Decode(const TEntry& e, std::uint64_t dataStart, HANDLE out, const std::string& password);
};

bool TSession::ReadDirectory()
{
    std::string zipName = Cmd.ZipName ? Cmd.ZipName : "";
    Archive.Reset(CreateFileA(zipName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!Archive.Valid()) {
        Error(eeOpenArchive, "Cannot open the archive " + zipName);
        return false;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(Archive.Get(), &size) || size.QuadPart >= 0xFFFFFFFFLL) {
        Error(eeBadArchive, "Archive too large or unreadable: " + zipName);
        return false;
    }
    ArchiveSize = static_cast<std::uint64_t>(size.QuadPart);
    std::uint32_t window = static_cast<std::uint32_t>(std::min<std::uint64_t>(ArchiveSize, kEndSize + kMaxComment));
    std::vector<std::uint8_t> tail(window);
    if (window < kEndSize || !ReadAt(ArchiveSize - window, tail.data(), window)) {
        Error(eeBadArchive, "Not a zip archive: " + zipName);
        return false;
    }
    std::int64_t at = -1;
    for (std::int64_t i = static_cast<std::int64_t>(window) - kEndSize; i >= 0; --i)
        if (Get32(&tail[static_cast<std::size_t>(i)]) == kSigEnd) {
            at = i;
            break;
        }
    if (at < 0) {
        Error(eeBadArchive, "Not a zip archive: " + zipName);
        return false;
    }
    const std::uint8_t* end = &tail[static_cast<std::size_t>(at)];
    std::uint16_t disk = Get16(end + 4), dirDisk = Get16(end + 6), count = Get16(end + 10);
    std::uint32_t dirSize = Get32(end + 12), dirOffset = Get32(end + 16);
    if (disk != 0 || dirDisk != 0 || Get16(end + 8) != count) {
        Error(eeBadArchive, "Spanned archives are not supported: " + zipName);
        return false;
    }
    if (count == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) {
        Error(eeBadArchive, "Zip64 archives are not supported: " + zipName);
        return false;
    }
    // Trust the directory's position relative to the end record over the
    // stored offset: data prepended to the archive moves both.
    std::uint64_t endPos = ArchiveSize - window + static_cast<std::uint64_t>(at);
    if (dirSize > endPos) {
        Error(eeBadArchive, "Damaged central directory in " + zipName);
        return false;
    }
    std::uint64_t dirPos = endPos - dirSize;
    std::vector<std::uint8_t> dir(dirSize);
    if (dirSize && !ReadAt(dirPos, dir.data(), dirSize)) {
        Error(eeBadArchive, "Cannot read the central directory of " + zipName);
        return false;
    }
    // Local header offsets are stored relative to the archive's start; shift
    // them by the same amount as the directory.
    std::int64_t shift = static_cast<std::int64_t>(dirPos) - dirOffset;
    if (!ParseCentral(dir, count)) {
        Error(eeBadArchive, "Damaged central directory in " + zipName);
        return false;
    }
    for (TEntry& e : Entries)
        e.LocalOffset = static_cast<std::uint32_t>(e.LocalOffset + shift);
    return true;
}

bool TSession::ParseCentral(const std::vector<std::uint8_t>& dir, std::uint32_t count)
{
    std::size_t pos = 0;
    Entries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (dir.size() - pos < 46 || Get32(&dir[pos]) != kSigCentral)
            return false;
        const std::uint8_t* h = &dir[pos];
        TEntry e;
        e.MadeBy = Get16(h + 4);
        e.Flags = Get16(h + 8);
        e.Method = Get16(h + 10);
        e.Time = Get16(h + 12);
        e.Date = Get16(h + 14);
        e.Crc = Get32(h + 16);
        e.CompSize = Get32(h + 20);
        e.Size = Get32(h + 24);
        std::size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
        e.LocalOffset = Get32(h + 42);
        if (dir.size() - pos - 46 < nameLen + extraLen + commentLen)
            return false;
        std::string raw(reinterpret_cast<const char*>(h + 46), nameLen);
        // The name's character set: UTF-8 when flagged or given in Info-ZIP's
        // Unicode path field, OEM from DOS-style hosts, else the ANSI page.
        unsigned host = e.MadeBy >> 8, ver = e.MadeBy & 0xFF;
        UINT cp = (host == 0 || host == 6 || (host == 11 && ver == 50)) ? CP_OEMCP : CP_ACP;
        if (e.Flags & 0x0800)
            cp = CP_UTF8;
        e.Name = ToWide(raw, cp);
        const std::uint8_t* x = h + 46 + nameLen;
        for (std::size_t k = 0; k + 4 <= extraLen;) {
            std::uint16_t id = Get16(x + k), len = Get16(x + k + 2);
            if (k + 4 + len > extraLen)
                break;
            if (id == 0x7075 && len > 5 && x[k + 4] == 1 &&
                Get32(x + k + 5) == static_cast<std::uint32_t>(crc32(0, h + 46, static_cast<uInt>(nameLen))))
                e.Name = ToWide(std::string(reinterpret_cast<const char*>(x + k + 9), len - 5), CP_UTF8);
            k += 4 + len;
        }
        e.AnsiName = ToAnsi(e.Name);
        e.IsDir = !e.Name.empty() && (e.Name.back() == L'/' || e.Name.back() == L'\\');
        Entries.push_back(std::move(e));
        pos += 46 + nameLen + extraLen + commentLen;
    }
    return true;
}

// Case-insensitive wildcard match; "/" and "\" are the same separator.
bool WildMatch(const wchar_t* pat, const wchar_t* str)
{
    auto fold = [](wchar_t c) { return c == L'\\' ? L'/' : static_cast<wchar_t>(towlower(c)); };
    const wchar_t *starPat = nullptr, *starStr = nullptr;
    while (*str) {
        if (*pat == L'*') {
            starPat = ++pat;
            starStr = str;
        } else if (*pat == L'?' || (*pat && fold(*pat) == fold(*str))) {
            ++pat, ++str;
        } else if (starPat) {
            pat = starPat;
            str = ++starStr;
        } else {
            return false;
        }
    }
    while (*pat == L'*')
        ++pat;
    return *pat == 0;
}

bool TSession::Selected(const TEntry& e) const
{
    if (Cmd.SpecCount <= 0 || !Cmd.Specs)
        return true;
    for (std::int32_t i = 0; i < Cmd.SpecCount; ++i)
        if (Cmd.Specs[i].Pattern && WildMatch(ToWide(Cmd.Specs[i].Pattern, CP_ACP).c_str(), e.Name.c_str()))
            return true;
    return false;
}

// The entry's path below the extraction folder, "\" separated; empty when the
// name is absolute, carries a drive or stream colon, or climbs out with "..".
std::wstring SafeRelativePath(const std::wstring& name, bool dirNames)
{
    if (name.empty() || name[0] == L'/' || name[0] == L'\\' || name.find(L':') != std::wstring::npos)
        return {};
    std::wstring result, part;
    std::vector<std::wstring> parts;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        wchar_t c = i < name.size() ? name[i] : L'/';
        if (c != L'/' && c != L'\\') {
            if (c < 32)
                return {};
            part += c;
            continue;
        }
        if (part == L"..")
            return {};
        if (!part.empty() && part != L".")
            parts.push_back(part);
        part.clear();
    }
    if (parts.empty())
        return {};
    if (!dirNames)
        return parts.back();
    for (std::size_t i = 0; i < parts.size(); ++i)
        result += (i ? L"\\" : L"") + parts[i];
    return result;
}

// Creates `dir` and its missing parents: one call when the parent exists,
// which is the common case inside an archive's tree.
bool MakeDir(const std::wstring& dir)
{
    if (dir.size() <= 3 || CreateDirectoryW(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    if (GetLastError() != ERROR_PATH_NOT_FOUND)
        return false;
    std::size_t cut = dir.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut < 3 || !MakeDir(dir.substr(0, cut)))
        return false;
    return CreateDirectoryW(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

FILETIME DosToFileTime(std::uint16_t date, std::uint16_t time)
{
    FILETIME local{}, utc{};
    if (!DosDateTimeToFileTime(date, time, &local) || !LocalFileTimeToFileTime(&local, &utc))
        GetSystemTimeAsFileTime(&utc);
    return utc;
}

bool TSession::CheckPassword(const TEntry& e, const std::uint8_t header[12], std::string& password)
{
    // Info-ZIP writes the DOS time's high byte when the sizes follow the data.
    std::uint8_t check = (e.Flags & 0x0008) ? static_cast<std::uint8_t>(e.Time >> 8)
                                             : static_cast<std::uint8_t>(e.Crc >> 24);
    auto fits = [&](const std::string& pw) {
        std::uint8_t h[12];
        std::memcpy(h, header, 12);
        TDecrypter(pw).Decrypt(h, 12);
        return h[11] == check;
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
// nowhere when testing), reporting progress. Reports its own errors.
bool TSession::Decode(const TEntry& e, std::uint64_t dataStart, HANDLE out, const std::string& password)
{
    std::uint64_t remaining = e.CompSize;
    std::unique_ptr<TDecrypter> decrypter;
    if (e.Flags & 1) {
        decrypter = std::make_unique<TDecrypter>(password);
        std::uint8_t header[12];
        if (!ReadAt(dataStart, header, 12))
            return Error(eeBadData, "Damaged data in " + e.AnsiName), false;
        decrypter->Decrypt(header, 12);
        dataStart += 12;
        remaining -= 12;
    }
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(dataStart);
    if (!SetFilePointerEx(Archive.Get(), pos, nullptr, FILE_BEGIN))
        return Error(eeBadData, "Damaged data in " + e.AnsiName), false;

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

    auto flush = [&]() -> bool {
        crc = static_cast<std::uint32_t>(crc32(crc, OutBuf.data(), static_cast<uInt>(pending)));
        if (out != INVALID_HANDLE_VALUE && pending) {
            DWORD done = 0;
            if (!WriteFile(out, OutBuf.data(), static_cast<DWORD>(pending), &done, nullptr) || done != pending) {
                Error(eeCreateFile, "Cannot write " + e.AnsiName);
                return false;
            }
        }
        pending = 0;
        Report(acProgress, 0, {}, static_cast<std::int64_t>(produced - reported));
        reported = produced;
        return !Stopped();
    };
    auto refill = [&]() -> bool {
        DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(remaining, InBuf.size())), got = 0;
        if (!ReadFile(Archive.Get(), InBuf.data(), want, &got, nullptr) || got != want) {
            Error(eeBadData, "Damaged data in " + e.AnsiName + " (archive ends early)");
            return false;
        }
        if (decrypter)
            decrypter->Decrypt(InBuf.data(), got);
        remaining -= got;
        inNext = InBuf.data();
        inAvail = got;
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
            std::uint64_t room = std::min<std::uint64_t>(OutBuf.size() - pending, e.Size - std::min<std::uint64_t>(produced, e.Size) + 1);
            Inflater.next_in = inNext;
            Inflater.avail_in = static_cast<uInt>(inAvail);
            Inflater.next_out = OutBuf.data() + pending;
            Inflater.avail_out = static_cast<uInt>(room);
            int z = inflate(&Inflater, Z_NO_FLUSH);
            std::size_t made = room - Inflater.avail_out;
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
    std::wstring rel = SafeRelativePath(e.Name, Cmd.DirNames != 0);
    if (rel.empty()) {
        Skipped(eeUnsafePath, stUnsafePath, e.AnsiName);
        return;
    }
    std::wstring target = BaseDir + rel;
    if (e.IsDir) {
        if (!test && Cmd.DirNames && !(MakeParents(target + L"\\")))
            Error(eeCreateFile, "Cannot create folder " + e.AnsiName);
        return;
    }
    // With plain overwriting the file's creation tells whether it existed;
    // asking first would cost a second directory scan under Wine.
    bool exists = false;
    if (!test && (!Cmd.Overwrite || Cmd.Freshen || Cmd.Update)) {
        WIN32_FILE_ATTRIBUTE_DATA info;
        exists = GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &info);
        if (exists && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            Skipped(eeCreateFile, stFileExists, e.AnsiName);
            return;
        }
        FILETIME stamp = DosToFileTime(e.Date, e.Time);
        bool newer = !exists || CompareFileTime(&stamp, &info.ftLastWriteTime) > 0;
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
    if ((e.Flags & 0x0041) == 0x0041) {
        Error(eeUnsupported, "Unsupported encryption in " + e.AnsiName);
        return;
    }

    Report(acNewFile, 0, e.AnsiName, e.Size);
    if (Stopped())
        return;
    std::uint8_t local[30];
    std::uint64_t dataStart = static_cast<std::uint64_t>(e.LocalOffset) + 30;
    if (!ReadAt(e.LocalOffset, local, 30) || Get32(local) != kSigLocal ||
        (dataStart += Get16(local + 26) + Get16(local + 28)) + e.CompSize > ArchiveSize ||
        ((e.Flags & 1) && e.CompSize < 12) || (e.Method == 0 && e.CompSize - ((e.Flags & 1) ? 12 : 0) != e.Size)) {
        Error(eeBadData, "Damaged data in " + e.AnsiName);
        return;
    }
    std::string password;
    if (e.Flags & 1) {
        std::uint8_t header[12];
        if (!ReadAt(dataStart, header, 12)) {
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
        if (Decode(e, dataStart, INVALID_HANDLE_VALUE, password))
            ++Extracted;
        return;
    }
    // An existing file is replaced only once the new data checked out, so a
    // damaged entry never destroys a good file; a new file is written in place.
    if (!MakeParents(target)) {
        Error(eeCreateFile, "Cannot create file " + e.AnsiName);
        return;
    }
    THandle out(exists ? INVALID_HANDLE_VALUE
                       : CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    bool replacing = !out.Valid();
    std::wstring temp = replacing ? target + L".~zetmp" : target;
    if (replacing)
        out.Reset(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!out.Valid()) {
        Error(eeCreateFile, "Cannot create file " + e.AnsiName);
        return;
    }
    bool ok = Decode(e, dataStart, out.Get(), password);
    if (ok) {
        FILETIME stamp = DosToFileTime(e.Date, e.Time);
        SetFileTime(out.Get(), nullptr, nullptr, &stamp);
    }
    out.Close();
    if (ok && replacing && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        Error(eeCreateFile, "Cannot create file " + e.AnsiName);
        ok = false;
    }
    if (!ok)
        DeleteFileW(temp.c_str());
    else
        ++Extracted;
}

std::int32_t Run(TCommandBlock& cmd)
{
    TSession s(cmd);
    s.Report(acAbortHandle, s.Handle);
    if (cmd.Password)
        s.Password.assign(cmd.Password, strnlen(cmd.Password, kMaxPassword));
    if (cmd.ExtractDir && *cmd.ExtractDir) {
        s.BaseDir = ToWide(cmd.ExtractDir, CP_ACP);
        if (s.BaseDir.back() != L'\\' && s.BaseDir.back() != L'/')
            s.BaseDir += L'\\';
    }
    try {
        s.InBuf.resize(kInChunk);
        s.OutBuf.resize(kOutChunk);
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    if (s.ReadDirectory() && !s.Stopped()) {
        std::vector<const TEntry*> chosen;
        std::int64_t total = 0;
        for (const TEntry& e : s.Entries)
            if (s.Selected(e)) {
                chosen.push_back(&e);
                total += e.Size;
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

} // namespace

extern "C" {

__declspec(dllexport) std::int32_t ZE_CALL ZE_UnzExec(TCommandBlock* block)
{
    if (!block || block->Version != kInterfaceVersion || block->Check != kBlockCheck || !block->ZipName)
        return kResultBadStructure;
    try {
        return Run(*block);
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
}

// Archive writing is not part of this engine.
__declspec(dllexport) std::int32_t ZE_CALL ZE_ZipExec(void*) { return kResultBadStructure; }

__declspec(dllexport) std::int32_t ZE_CALL ZE_Version() { return kInterfaceVersion; }

__declspec(dllexport) std::int32_t ZE_CALL ZE_PrivVersion() { return kBuildNumber; }

__declspec(dllexport) void ZE_CALL ZE_Abort(std::int32_t handle)
{
    std::lock_guard lock(gSessionsLock);
    for (TSession* s : gSessions)
        if (s->Handle == handle)
            s->AbortRequested = true;
}

__declspec(dllexport) const char* ZE_CALL ZE_Path() { return gPath; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        DisableThreadLibraryCalls(instance);
        GetModuleFileNameA(gModule, gPath, MAX_PATH);
    }
    return TRUE;
}

} // extern "C"
