// The branches a program takes on a Windows without a call that Wine (and
// current Windows) has: the lookup is replaced so that the call is missing.
#include "platform/uLibrary.h"
#include "platform/uSystemProc.h"
#include "platform/uWinsock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>
#include <windows.h>

namespace {

std::mutex GAskedLock;
std::vector<std::string> GAsked;

void Record(const char* module, const char* name)
{
    std::lock_guard lock(GAskedLock);
    GAsked.push_back(std::string(module) + "!" + name);
}

bool Asked(const std::string& what)
{
    std::lock_guard lock(GAskedLock);
    return std::find(GAsked.begin(), GAsked.end(), what) != GAsked.end();
}

// Puts a lookup in place for one test and the system's back afterwards.
class TLookupScope {
public:
    explicit TLookupScope(platform::TProcLookup lookup) : FPrevious(platform::SetProcLookup(lookup))
    {
        std::lock_guard lock(GAskedLock);
        GAsked.clear();
    }
    ~TLookupScope() { platform::SetProcLookup(FPrevious); }

private:
    platform::TProcLookup FPrevious;
};

} // namespace

TEST(Fallbacks, WithoutSetDefaultDllDirectoriesTheDllDirectoryStillDropsTheCurrentFolder)
{
    namespace fs = std::filesystem;
    const char* binary = std::getenv("KORVANT_BINARY_DIR");
    ASSERT_NE(binary, nullptr);
    const fs::path engine = fs::path("Z:" + std::string(binary) + "/bin/ZipEng179.dll");
    ASSERT_TRUE(fs::exists(engine));
    const fs::path folder = fs::path("Z:" + std::string(binary) + "/tests/platform-work/planted");
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(engine, folder / "planted.dll");
    // A folder set before shows whether the restriction replaced it.
    ASSERT_TRUE(::SetDllDirectoryA(folder.string().c_str()));
    {
        TLookupScope scope([](const char* module, const char* name) -> void* {
            Record(module, name);
            return std::strcmp(name, "SetDefaultDllDirectories") == 0 ? nullptr
                                                                     : platform::DefaultSystemProc(module, name);
        });
        EXPECT_FALSE(platform::RestrictDllSearch()) << "reports that the search could not be restricted fully";
    }
    EXPECT_TRUE(Asked("kernel32.dll!SetDefaultDllDirectories"));
    // The empty DLL directory is what takes the current folder out of the
    // search on such a system (Wine keeps searching it all the same, so the
    // setting is what is checked here).
    char directory[MAX_PATH] = "unchanged";
    ::SetLastError(0);
    EXPECT_EQ(::GetDllDirectoryA(MAX_PATH, directory), 0u);
    EXPECT_EQ(::GetLastError(), 0u);
    EXPECT_STREQ(directory, "");
    unsigned error = 0;
    EXPECT_FALSE(platform::LoadLibraryQuiet("planted.dll", error)) << "no longer found through the DLL directory";
    EXPECT_TRUE(platform::LoadLibraryQuiet((folder / "planted.dll").string(), error));
    EXPECT_TRUE(platform::LoadLibraryQuiet("version.dll", error)) << "system libraries still load by name";
}

TEST(Fallbacks, IPv6AddressesResolveThroughTheHelperLibraryOfOlderSystems)
{
    // The helper library stands in with the socket library's own functions,
    // as an older system's would answer.
    TLookupScope scope([](const char* module, const char* name) -> void* {
        Record(module, name);
        if (_stricmp(module, "Wship6.dll") != 0)
            return platform::DefaultSystemProc(module, name);
        return reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ws2_32.dll"), name));
    });
    unsigned error = 0;
    ASSERT_TRUE(platform::winsock::LoadSocketLibrary("ws2_32.dll", error)) << error;
    ASSERT_EQ(platform::winsock::Startup(2, 2), 0);
    EXPECT_TRUE(platform::winsock::AddressInfoAvailable());
    platform::winsock::TAddress address;
    int resolveError = 0;
    ASSERT_TRUE(platform::winsock::ResolveIPv6("::1", address, resolveError)) << resolveError;
    EXPECT_EQ(address.Family, platform::winsock::TFamily::IPv6);
    const std::uint8_t loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(std::memcmp(address.Bytes, loopback, 16), 0);
    EXPECT_TRUE(Asked("Wship6.dll!getaddrinfo"));
    EXPECT_TRUE(Asked("Wship6.dll!freeaddrinfo"));

    // A socket's owner closes it through the library that made it.
    platform::winsock::TSocket raw = platform::winsock::InvalidSocket;
    {
        platform::winsock::TOwnedSocket socket(platform::winsock::Socket(platform::winsock::TFamily::IPv4));
        ASSERT_TRUE(socket);
        raw = socket.Get();
        EXPECT_EQ(platform::winsock::SetNoDelay(raw, true), 0);
    }
    EXPECT_EQ(platform::winsock::SetNoDelay(raw, true), -1);
}
