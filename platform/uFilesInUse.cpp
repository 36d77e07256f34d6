#include "uFilesInUse.h"

#include "uLibrary.h"
#include "uSystem.h"
#include "uWinOwners.h"

#include <windows.h>
#include <restartmanager.h>

#include <memory>

namespace platform {

namespace {

using TRmStartSession = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using TRmEndSession = DWORD(WINAPI*)(DWORD);
using TRmRegisterResources = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
using TRmGetList = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);

// A few programs more than asked for, in case more start meanwhile; and an
// end to asking again when they keep coming.
constexpr UINT kExtraSlots = 4;
constexpr int kMaxListTries = 3;

std::wstring ToWin(const std::string& ansi)
{
    std::u16string wide = MultiByteToWide(ansi, CP_ANSI);
    return std::wstring(wide.begin(), wide.end());
}

std::string FromWin(const WCHAR* text)
{
    std::u16string wide;
    for (; *text; ++text)
        wide += static_cast<char16_t>(*text);
    return WideToMultiByte(wide, CP_ANSI);
}

// The programs holding any of the files, or false when the Restart Manager
// is missing or does not answer.
bool AskRestartManager(const std::vector<std::wstring>& files, const TRestartManagerLookup& lookup,
                       std::vector<std::string>& applications)
{
    if (!lookup)
        return false;
    auto start = reinterpret_cast<TRmStartSession>(lookup("RmStartSession"));
    auto end = reinterpret_cast<TRmEndSession>(lookup("RmEndSession"));
    auto registerResources = reinterpret_cast<TRmRegisterResources>(lookup("RmRegisterResources"));
    auto getList = reinterpret_cast<TRmGetList>(lookup("RmGetList"));
    if (!start || !end || !registerResources || !getList)
        return false;
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (start(&session, 0, key) != ERROR_SUCCESS)
        return false;
    TScopeGuard endSession([end, session] { end(session); });

    std::vector<LPCWSTR> names;
    for (const std::wstring& file : files)
        names.push_back(file.c_str());
    if (registerResources(session, static_cast<UINT>(names.size()), names.data(), 0, nullptr, 0, nullptr) !=
        ERROR_SUCCESS)
        return false;
    std::vector<RM_PROCESS_INFO> found;
    for (int attempt = 0; attempt < kMaxListTries; ++attempt) {
        UINT needed = 0;
        UINT count = static_cast<UINT>(found.size());
        DWORD reasons = 0;
        DWORD result = getList(session, &needed, &count, found.empty() ? nullptr : found.data(), &reasons);
        if (result == ERROR_MORE_DATA) {
            found.assign(needed + kExtraSlots, RM_PROCESS_INFO{});
            continue;
        }
        if (result != ERROR_SUCCESS)
            return false;
        count = std::min<UINT>(count, static_cast<UINT>(found.size()));
        for (UINT i = 0; i < count; ++i) {
            std::string name = FromWin(found[i].strAppName);
            if (name.empty())
                name = "process " + std::to_string(found[i].Process.dwProcessId);
            applications.push_back(name);
        }
        return true;
    }
    return false;
}

} // namespace

TRestartManagerLookup SystemRestartManager()
{
    // Loaded once, by its full path in the system folder.
    return [](const char* name) -> void* {
        static const std::shared_ptr<TModule> module = [] {
            WCHAR folder[MAX_PATH] = {};
            UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
            if (n == 0 || n >= MAX_PATH)
                return std::make_shared<TModule>();
            std::wstring path = std::wstring(folder, n) + L"\\rstrtmgr.dll";
            UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
            HMODULE handle = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
            ::SetErrorMode(previous);
            return std::make_shared<TModule>(handle);
        }();
        return module->Proc(name);
    };
}

std::vector<std::string> FilesOpenElsewhere(const std::vector<std::string>& paths)
{
    std::vector<std::string> held;
    for (const std::string& path : paths) {
        std::wstring name = ToWin(path);
        const win::TKernelHandle file(
            ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            continue;
        // A read-only or missing file is not held by anyone; replacing it
        // fails for its own reason, which the extraction reports.
        DWORD error = ::GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
            held.push_back(path);
    }
    return held;
}

TFilesInUse FindFilesInUse(const std::vector<std::string>& paths, const TRestartManagerLookup& lookup)
{
    std::vector<std::string> existing;
    std::vector<std::wstring> wide;
    for (const std::string& path : paths)
        if (FileExists(path)) {
            existing.push_back(path);
            wide.push_back(ToWin(path));
        }
    TFilesInUse result;
    if (existing.empty())
        return result;
    // Its names are what the user needs to hear. Its "nobody" is checked
    // once more by opening: a Restart Manager that answers without looking
    // (or cannot see another session's programs) must not let a held file
    // be half replaced.
    if (AskRestartManager(wide, lookup, result.Applications) && !result.Applications.empty()) {
        result.Method = TInUseMethod::RestartManager;
        return result;
    }
    result.Applications.clear();
    result.Method = TInUseMethod::ExclusiveOpen;
    result.Files = FilesOpenElsewhere(existing);
    return result;
}

} // namespace platform
