// Which files another program holds open: through the Restart Manager where
// it answers, by opening each file exclusively otherwise. Each branch is
// forced through the lookup of the Restart Manager's entry points.
#include "platform/uFilesInUse.h"

#include <windows.h>
#include <restartmanager.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using platform::FindFilesInUse;
using platform::TInUseMethod;

namespace {

class FilesInUse : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        Folder = std::string(temp) + "filesinuse-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(Folder.c_str(), nullptr);
        for (const char* name : {"KORVANT07.EXE", "VERSION.TXT", "READONLY.TXT"})
            std::ofstream(Folder + name) << name;
        SetFileAttributesA((Folder + "READONLY.TXT").c_str(), FILE_ATTRIBUTE_READONLY);
    }
    void TearDown() override
    {
        Release();
        SetFileAttributesA((Folder + "READONLY.TXT").c_str(), FILE_ATTRIBUTE_NORMAL);
        for (const char* name : {"KORVANT07.EXE", "VERSION.TXT", "READONLY.TXT"})
            DeleteFileA((Folder + name).c_str());
        RemoveDirectoryA(Folder.c_str());
    }
    // Another handle on the file, as a running program keeps its own.
    void Hold(const std::string& name, DWORD share = FILE_SHARE_READ)
    {
        Held = CreateFileA((Folder + name).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(Held, INVALID_HANDLE_VALUE);
    }
    void Release()
    {
        if (Held != INVALID_HANDLE_VALUE)
            CloseHandle(Held);
        Held = INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> Targets() const
    {
        return {Folder + "KORVANT07.EXE", Folder + "VERSION.TXT", Folder + "READONLY.TXT", Folder + "MISSING.TXT"};
    }

    std::string Folder;
    HANDLE Held = INVALID_HANDLE_VALUE;
};

const platform::TRestartManagerLookup NoRestartManager = [](const char*) -> void* { return nullptr; };

TEST_F(FilesInUse, WithoutTheRestartManagerAHeldFileIsFoundByOpeningItAlone)
{
    auto free = FindFilesInUse(Targets(), NoRestartManager);
    EXPECT_EQ(free.Method, TInUseMethod::ExclusiveOpen);
    EXPECT_FALSE(free.Any()) << "a read-only or missing file is not in use";

    Hold("KORVANT07.EXE");
    auto held = FindFilesInUse(Targets(), NoRestartManager);
    EXPECT_EQ(held.Method, TInUseMethod::ExclusiveOpen);
    EXPECT_EQ(held.Files, std::vector<std::string>{Folder + "KORVANT07.EXE"});
    EXPECT_TRUE(held.Applications.empty());

    // Sharing everything still holds the file: replacing it would fail.
    Release();
    Hold("VERSION.TXT", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    EXPECT_EQ(FindFilesInUse(Targets(), NoRestartManager).Files, std::vector<std::string>{Folder + "VERSION.TXT"});

    Release();
    EXPECT_FALSE(FindFilesInUse(Targets(), NoRestartManager).Any());
    // The check itself changed nothing.
    std::ifstream in(Folder + "KORVANT07.EXE");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "KORVANT07.EXE");
}

// A Restart Manager of our own, answering as Windows does.
struct TFakeRm {
    static inline std::vector<std::wstring> Registered;
    static inline int Sessions = 0, Ended = 0, ListCalls = 0;
    static inline DWORD ListResult = ERROR_SUCCESS;
    static inline std::vector<std::wstring> Apps;

    static void Reset(DWORD listResult, std::vector<std::wstring> apps)
    {
        Registered.clear();
        Sessions = Ended = ListCalls = 0;
        ListResult = listResult;
        Apps = std::move(apps);
    }
    static DWORD WINAPI Start(DWORD* session, DWORD, WCHAR* key)
    {
        *session = 42;
        key[0] = L'k';
        key[1] = 0;
        ++Sessions;
        return ERROR_SUCCESS;
    }
    static DWORD WINAPI End(DWORD session)
    {
        EXPECT_EQ(session, 42u);
        ++Ended;
        return ERROR_SUCCESS;
    }
    static DWORD WINAPI Register(DWORD, UINT count, LPCWSTR* files, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*)
    {
        for (UINT i = 0; i < count; ++i)
            Registered.push_back(files[i]);
        return ERROR_SUCCESS;
    }
    // First asked with no room: says how many there are, as Windows does.
    static DWORD WINAPI GetList(DWORD, UINT* needed, UINT* count, RM_PROCESS_INFO* apps, DWORD* reasons)
    {
        ++ListCalls;
        *reasons = 0;
        if (ListResult != ERROR_SUCCESS)
            return ListResult;
        *needed = static_cast<UINT>(Apps.size());
        if (*count < Apps.size()) {
            *count = 0;
            return Apps.empty() ? ERROR_SUCCESS : ERROR_MORE_DATA;
        }
        for (std::size_t i = 0; i < Apps.size(); ++i) {
            apps[i] = RM_PROCESS_INFO{};
            apps[i].Process.dwProcessId = 1000 + static_cast<DWORD>(i);
            wcsncpy(apps[i].strAppName, Apps[i].c_str(), CCH_RM_MAX_APP_NAME);
        }
        *count = static_cast<UINT>(Apps.size());
        return ERROR_SUCCESS;
    }
    static void* Lookup(const char* name)
    {
        const std::string n = name;
        if (n == "RmStartSession")
            return reinterpret_cast<void*>(&Start);
        if (n == "RmEndSession")
            return reinterpret_cast<void*>(&End);
        if (n == "RmRegisterResources")
            return reinterpret_cast<void*>(&Register);
        if (n == "RmGetList")
            return reinterpret_cast<void*>(&GetList);
        return nullptr;
    }
};

TEST_F(FilesInUse, WhereTheRestartManagerAnswersItNamesThePrograms)
{
    TFakeRm::Reset(ERROR_SUCCESS, {L"KORVANT", L"Kladblok"});
    auto held = FindFilesInUse(Targets(), &TFakeRm::Lookup);
    EXPECT_EQ(held.Method, TInUseMethod::RestartManager);
    EXPECT_EQ(held.Applications, (std::vector<std::string>{"KORVANT", "Kladblok"}));
    EXPECT_TRUE(held.Files.empty());
    EXPECT_TRUE(held.Any());
    EXPECT_EQ(TFakeRm::ListCalls, 2) << "asked again with room for every program";
    // Only the files that exist are registered, in full.
    ASSERT_EQ(TFakeRm::Registered.size(), 3u);
    EXPECT_EQ(TFakeRm::Registered[0].substr(TFakeRm::Registered[0].size() - 13), L"KORVANT07.EXE");
    EXPECT_EQ(TFakeRm::Ended, TFakeRm::Sessions);

    // Its "nobody" is checked by opening each file: a held one is found.
    TFakeRm::Reset(ERROR_SUCCESS, {});
    EXPECT_FALSE(FindFilesInUse(Targets(), &TFakeRm::Lookup).Any());
    Hold("VERSION.TXT");
    auto held2 = FindFilesInUse(Targets(), &TFakeRm::Lookup);
    EXPECT_EQ(held2.Method, TInUseMethod::ExclusiveOpen);
    EXPECT_EQ(held2.Files, std::vector<std::string>{Folder + "VERSION.TXT"});
    EXPECT_EQ(TFakeRm::Ended, TFakeRm::Sessions);
}

TEST_F(FilesInUse, ARestartManagerThatDoesNotAnswerLeavesItToTheExclusiveOpen)
{
    Hold("VERSION.TXT");
    TFakeRm::Reset(ERROR_CALL_NOT_IMPLEMENTED, {L"KORVANT"});
    auto held = FindFilesInUse(Targets(), &TFakeRm::Lookup);
    EXPECT_EQ(held.Method, TInUseMethod::ExclusiveOpen);
    EXPECT_TRUE(held.Applications.empty());
    EXPECT_EQ(held.Files, std::vector<std::string>{Folder + "VERSION.TXT"});
    EXPECT_EQ(TFakeRm::Ended, 1) << "the session is ended on the way out";

    // Nothing asked when no file exists.
    TFakeRm::Reset(ERROR_SUCCESS, {L"KORVANT"});
    EXPECT_FALSE(FindFilesInUse({Folder + "MISSING.TXT"}, &TFakeRm::Lookup).Any());
    EXPECT_EQ(TFakeRm::Sessions, 0);
}

// The system's own, whichever branch it takes here: a held file is found.
// Under Wine the Restart Manager names nobody, so the exclusive open finds it.
TEST_F(FilesInUse, TheSystemsLookupFindsAHeldFile)
{
    Hold("KORVANT07.EXE");
    auto held = FindFilesInUse(Targets());
    EXPECT_TRUE(held.Any());
    std::printf("system check took the %s branch\n",
                held.Method == TInUseMethod::RestartManager ? "Restart Manager" : "exclusive-open");
}

} // namespace
