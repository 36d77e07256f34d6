// ZipEng179.dll: the unzip engine's exports over the portable engine core,
// with the Win32 side of its host interface. Nothing thrown inside may cross
// an export: each one answers with the contract's result instead.
#include "core/uEngineCore.h"
#include "zip/uZipContract.h"
#include "platform/uWinOwners.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

using namespace zipeng;
using platform::win::TKernelHandle;

namespace {

constexpr std::int32_t kBuildNumber = 1790102;

HMODULE gModule = nullptr;
char gPath[MAX_PATH + 1] = "ZipEng179.dll";

// Win32 wants wchar_t; the core speaks UTF-16 in char16_t, the same units.
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

FILETIME DosToFileTime(std::uint16_t date, std::uint16_t time)
{
    FILETIME local{}, utc{};
    if (!DosDateTimeToFileTime(date, time, &local) || !LocalFileTimeToFileTime(&local, &utc))
        GetSystemTimeAsFileTime(&utc);
    return utc;
}

class TWinArchive : public zipcore::IArchiveFile {
public:
    TWinArchive(TKernelHandle file, std::uint64_t size) : FFile(std::move(file)), FSize(size) {}
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
    TKernelHandle FFile;
    std::uint64_t FSize;
};

class TWinOutput : public zipcore::IOutputFile {
public:
    explicit TWinOutput(TKernelHandle file) : FFile(std::move(file)) {}
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
    // Closed here for the result: the last of the data may fail only now.
    bool Close() override { return CloseHandle(FFile.Release()) != 0; }

private:
    TKernelHandle FFile;
};

unsigned ProcessProcessors()
{
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return info.dwNumberOfProcessors;
    }
    unsigned count = 0;
    for (; process; process &= process - 1)
        ++count;
    return count;
}

class TWinHost : public zipcore::IEngineHost {
public:
    // A process held to fewer processors (a job, an affinity) gets fewer
    // threads than the machine has. A caller working below normal priority
    // does background work beside a window (an installation step): it leaves
    // one processor's share to the rest of its process, so that the window
    // answers while files are made. Many small files cost the system's file
    // creation more than the processors, so that extraction loses little.
    unsigned Cores() override
    {
        unsigned count = ProcessProcessors();
        if (count > 1 && GetThreadPriority(GetCurrentThread()) < THREAD_PRIORITY_NORMAL)
            --count;
        return count;
    }

    // A large entry still decrypts ahead beside its chain: one serial chain
    // is the slowest part of it, and the window's thread, which sleeps but
    // for its messages, goes before both.
    unsigned Processors() override { return ProcessProcessors(); }

    // A new thread starts at normal priority whatever its creator's: the
    // engine's take the caller's, so work beside a window stays behind it.
    std::function<void()> ThreadStart() override
    {
        const int priority = GetThreadPriority(GetCurrentThread());
        return [priority] { SetThreadPriority(GetCurrentThread(), priority); };
    }

    std::unique_ptr<zipcore::IArchiveFile> OpenArchive(const std::u16string& path) override
    {
        TKernelHandle file(CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        LARGE_INTEGER size;
        if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0)
            return nullptr;
        // A positioned read would otherwise queue a completion nobody waits for.
        SetFileCompletionNotificationModes(file.Get(), FILE_SKIP_COMPLETION_PORT_ON_SUCCESS);
        return std::make_unique<TWinArchive>(std::move(file), static_cast<std::uint64_t>(size.QuadPart));
    }

    std::unique_ptr<zipcore::IOutputFile> CreateOutput(const std::u16string& path, bool mustBeNew) override
    {
        TKernelHandle file(CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, mustBeNew ? CREATE_NEW : CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file)
            return nullptr;
        return std::make_unique<TWinOutput>(std::move(file));
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

    bool RemoveFolder(const std::u16string& path) override { return RemoveDirectoryW(W(path)) != 0; }

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
