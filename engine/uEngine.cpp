// ZipEng179.dll: the unzip engine's exports over the portable engine core,
// with the Win32 side of its host interface. Nothing thrown inside may cross
// an export: each one answers with the contract's result instead.
#include "core/uEngineCore.h"
#include "zip/uZipContract.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

using namespace zipeng;

namespace {

constexpr std::int32_t kBuildNumber = 1790102;

HMODULE gModule = nullptr;
char gPath[MAX_PATH + 1] = "ZipEng179.dll";

// Win32 wants wchar_t; the core speaks UTF-16 in char16_t, the same units.
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

class THandle {
public:
    explicit THandle(HANDLE h = INVALID_HANDLE_VALUE) : F(h) {}
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    ~THandle() { Close(); }
    bool Close()
    {
        bool ok = true;
        if (F != INVALID_HANDLE_VALUE)
            ok = CloseHandle(F) != 0;
        F = INVALID_HANDLE_VALUE;
        return ok;
    }
    HANDLE Get() const { return F; }
    bool Valid() const { return F != INVALID_HANDLE_VALUE; }

private:
    HANDLE F;
};

FILETIME DosToFileTime(std::uint16_t date, std::uint16_t time)
{
    FILETIME local{}, utc{};
    if (!DosDateTimeToFileTime(date, time, &local) || !LocalFileTimeToFileTime(&local, &utc))
        GetSystemTimeAsFileTime(&utc);
    return utc;
}

class TWinArchive : public zipcore::IArchiveFile {
public:
    TWinArchive(HANDLE h, std::uint64_t size) : FFile(h), FSize(size) {}
    std::uint64_t Size() const override { return FSize; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        // Chunks are far below 4 GiB; positioned reads need one call each.
        auto p = static_cast<std::uint8_t*>(buffer);
        while (count > 0) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30)), done = 0;
            if (!ReadFile(FFile.Get(), p, want, &done, &at) || done == 0)
                return false;
            p += done, offset += done, count -= done;
        }
        return true;
    }

private:
    THandle FFile;
    std::uint64_t FSize;
};

class TWinOutput : public zipcore::IOutputFile {
public:
    explicit TWinOutput(HANDLE h) : FFile(h) {}
    bool Write(const void* data, std::size_t count) override
    {
        auto p = static_cast<const std::uint8_t*>(data);
        while (count > 0) {
            DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30)), done = 0;
            if (!WriteFile(FFile.Get(), p, want, &done, nullptr) || done != want)
                return false;
            p += done, count -= done;
        }
        return true;
    }
    bool SetTime(std::uint16_t dosDate, std::uint16_t dosTime) override
    {
        FILETIME stamp = DosToFileTime(dosDate, dosTime);
        return SetFileTime(FFile.Get(), nullptr, nullptr, &stamp) != 0;
    }
    bool Close() override { return FFile.Close(); }

private:
    THandle FFile;
};

// A name Windows takes as it is: no device name (with or without an
// extension), stream, wildcard, separator, control character, or trailing
// dot or blank it would drop. Others go the ordinary way.
bool PlainName(std::u16string_view name)
{
    if (name.empty() || name.back() == u'.' || name.back() == u' ')
        return false;
    for (char16_t c : name)
        if (c < 0x20 || c >= 0x7F || std::u16string_view(u"\"*/:<>?\\|").find(c) != std::u16string_view::npos)
            return false;
    std::u16string stem(name.substr(0, name.find(u'.')));
    while (!stem.empty() && stem.back() == u' ')
        stem.pop_back();
    for (char16_t& c : stem)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - 32);
    for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
        if (stem == device)
            return false;
    return !(stem.size() == 4 && (stem.rfind(u"COM", 0) == 0 || stem.rfind(u"LPT", 0) == 0) &&
             ((stem[3] >= u'0' && stem[3] <= u'9') || stem[3] == u'\u00B9' || stem[3] == u'\u00B2' || stem[3] == u'\u00B3'));
}

class TWinHost : public zipcore::IEngineHost {
public:
    std::unique_ptr<zipcore::IArchiveFile> OpenArchive(const std::u16string& path) override
    {
        HANDLE h = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return nullptr;
        LARGE_INTEGER size;
        if (!GetFileSizeEx(h, &size) || size.QuadPart < 0) {
            CloseHandle(h);
            return nullptr;
        }
        return std::make_unique<TWinArchive>(h, static_cast<std::uint64_t>(size.QuadPart));
    }

    std::unique_ptr<zipcore::IOutputFile> CreateOutput(const std::u16string& path, bool mustBeNew) override
    {
        HANDLE h = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, mustBeNew ? CREATE_NEW : CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::make_unique<TWinOutput>(h);
    }

    // Under Wine, a new name makes the system read the whole folder for one
    // that differs only in case, which made many small files cost quadratic
    // time. The caller vouches there is none, so Wine is given the file by
    // its Unix name, looked up as it is. Windows has neither call: null.
    std::unique_ptr<zipcore::IOutputFile> CreateFreshOutput(const std::u16string& path) override
    {
        using TNtCreateFile = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                               PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
        using TUnixName = char*(CDECL*)(LPCWSTR);
        static const auto create = reinterpret_cast<TNtCreateFile>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
        static const auto unixName = reinterpret_cast<TUnixName>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        std::size_t cut = path.find_last_of(u'\\');
        if (!create || !unixName || path.size() >= MAX_PATH || cut == std::u16string::npos ||
            !PlainName(std::u16string_view(path).substr(cut + 1)))
            return nullptr;
        std::u16string folder = path.substr(0, cut);
        if (folder != FFreshFolder) {
            FFreshFolder.clear();
            FFreshUnix.clear();
            char* unix = unixName(W(folder));
            if (!unix)
                return nullptr;
            int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, unix, -1, nullptr, 0);
            std::u16string text(static_cast<std::size_t>(std::max(n, 1)), u'\0');
            if (n > 0)
                MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, unix, -1, reinterpret_cast<wchar_t*>(text.data()), n);
            HeapFree(GetProcessHeap(), 0, unix);
            text.resize(static_cast<std::size_t>(std::max(n - 1, 0)));
            if (text.empty() || text[0] != u'/')
                return nullptr;
            FFreshFolder = folder;
            FFreshUnix = u"\\??\\unix" + text + u"/";
        }
        std::u16string nt = FFreshUnix + path.substr(cut + 1);
        UNICODE_STRING name;
        name.Buffer = reinterpret_cast<PWSTR>(nt.data());
        name.Length = static_cast<USHORT>(nt.size() * sizeof(char16_t));
        name.MaximumLength = name.Length;
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &name, 0, nullptr, nullptr);
        IO_STATUS_BLOCK io{};
        HANDLE h = nullptr;
        NTSTATUS status = create(&h, GENERIC_WRITE | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr,
                                 FILE_ATTRIBUTE_NORMAL, 0, FILE_CREATE,
                                 FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_SEQUENTIAL_ONLY, nullptr, 0);
        if (status < 0 || !h)
            return nullptr;
        return std::make_unique<TWinOutput>(h);
    }

    bool Replace(const std::u16string& from, const std::u16string& to) override
    {
        return MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING) != 0;
    }

    bool Remove(const std::u16string& path) override { return DeleteFileW(W(path)) != 0; }

    zipcore::TFolderResult MakeFolder(const std::u16string& path) override
    {
        if (CreateDirectoryW(W(path), nullptr))
            return zipcore::TFolderResult::Made;
        switch (GetLastError()) {
        case ERROR_ALREADY_EXISTS: return zipcore::TFolderResult::Exists;
        case ERROR_PATH_NOT_FOUND: return zipcore::TFolderResult::NoParent;
        default: return zipcore::TFolderResult::Failed;
        }
    }

    zipcore::TTargetInfo Probe(const std::u16string& path, std::uint16_t dosDate, std::uint16_t dosTime) override
    {
        zipcore::TTargetInfo r;
        WIN32_FILE_ATTRIBUTE_DATA info;
        r.Exists = GetFileAttributesExW(W(path), GetFileExInfoStandard, &info) != 0;
        if (r.Exists) {
            r.IsFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            FILETIME stamp = DosToFileTime(dosDate, dosTime);
            r.OlderThanEntry = CompareFileTime(&stamp, &info.ftLastWriteTime) > 0;
        }
        return r;
    }

    std::u16string Decode(std::string_view bytes, zipcore::TTextCode code) override
    {
        if (bytes.empty())
            return {};
        UINT page = code == zipcore::TTextCode::Utf8 ? CP_UTF8 : code == zipcore::TTextCode::Oem ? CP_OEMCP : CP_ACP;
        int size = static_cast<int>(bytes.size());
        int n = MultiByteToWideChar(page, 0, bytes.data(), size, nullptr, 0);
        std::u16string w(static_cast<std::size_t>(std::max(n, 0)), u'\0');
        if (n > 0)
            MultiByteToWideChar(page, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(w.data()), n);
        return w;
    }

    std::string ToAnsi(std::u16string_view text) override
    {
        if (text.empty())
            return {};
        auto w = reinterpret_cast<const wchar_t*>(text.data());
        int size = static_cast<int>(text.size());
        int n = WideCharToMultiByte(CP_ACP, 0, w, size, nullptr, 0, nullptr, nullptr);
        std::string s(static_cast<std::size_t>(std::max(n, 0)), '\0');
        if (n > 0)
            WideCharToMultiByte(CP_ACP, 0, w, size, s.data(), n, nullptr, nullptr);
        return s;
    }

private:
    // The last folder given to CreateFreshOutput, and its Unix name there.
    std::u16string FFreshFolder, FFreshUnix;
};

} // namespace

extern "C" {

__declspec(dllexport) std::int32_t ZE_CALL ZE_UnzExec(TCommandBlock* block) noexcept
{
    try {
        if (!block || block->Version != kInterfaceVersion || block->Check != kBlockCheck || !block->ZipName)
            return kResultBadStructure;
        TWinHost host;
        return zipcore::UnzExec(*block, host);
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    } catch (...) {
        return zipcore::kResultInternalError;
    }
}

// Archive writing is not part of this engine.
__declspec(dllexport) std::int32_t ZE_CALL ZE_ZipExec(void*) noexcept { return kResultBadStructure; }

__declspec(dllexport) std::int32_t ZE_CALL ZE_Version() noexcept { return kInterfaceVersion; }

__declspec(dllexport) std::int32_t ZE_CALL ZE_PrivVersion() noexcept { return kBuildNumber; }

__declspec(dllexport) void ZE_CALL ZE_Abort(std::int32_t handle) noexcept
{
    try {
        zipcore::Abort(handle);
    } catch (...) {
        // A lock that cannot be taken: the run goes on and ends by itself.
    }
}

__declspec(dllexport) const char* ZE_CALL ZE_Path() noexcept { return gPath; }

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
