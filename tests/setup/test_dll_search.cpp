// Setup.exe restricts the DLL search before anything loads: a library planted
// in the current folder under a bare name is no longer found there, while a
// library named by its full path still loads.
#include "platform/uLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <windows.h>

TEST(DllSearch, APlantedLibraryInTheCurrentFolderIsNotLoadedOnceRestricted)
{
    namespace fs = std::filesystem;
    const char* binary = std::getenv("KORVANT_BINARY_DIR");
    ASSERT_NE(binary, nullptr);
    const fs::path engine = fs::path("Z:" + std::string(binary) + "/bin/ZipEng179.dll");
    ASSERT_TRUE(fs::exists(engine));
    const fs::path folder = fs::path("Z:" + std::string(binary) + "/tests/setup-work/planted");
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(engine, folder / "planted.dll");
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(folder.string().c_str()));

    unsigned error = 0;
    {
        platform::TModule before = platform::LoadLibraryQuiet("planted.dll", error);
        EXPECT_TRUE(before) << "the plant must work before the search is restricted";
    }
    EXPECT_TRUE(platform::RestrictDllSearch());
    platform::TModule planted = platform::LoadLibraryQuiet("planted.dll", error);
    EXPECT_FALSE(planted);
    EXPECT_NE(error, 0u);
    platform::TModule byPath = platform::LoadLibraryQuiet((folder / "planted.dll").string(), error);
    EXPECT_TRUE(byPath);
    // System libraries still load by name.
    EXPECT_TRUE(platform::LoadLibraryQuiet("ws2_32.dll", error));

    ::SetCurrentDirectoryA(previous);
}
