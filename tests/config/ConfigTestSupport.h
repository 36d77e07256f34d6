#pragma once
// Folders and files for the configuration tests, in the build tree so that the
// Linux side (lnkinfo) can look at what the tests leave behind.
#include "runtime/uText.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace config_test {

// $KORVANT_BINARY_DIR/tests/config-work/<name>\ as Wine sees it, emptied.
inline AnsiString FreshFolder(const AnsiString& name)
{
    const char* binary = std::getenv("KORVANT_BINARY_DIR");
    AnsiString root = AnsiString("Z:") + (binary ? binary : "/tmp") + "/tests/config-work/" + name;
    for (char& c : root)
        if (c == '/')
            c = '\\';
    std::filesystem::remove_all(std::filesystem::path(root));
    std::filesystem::create_directories(std::filesystem::path(root));
    return root + "\\";
}

inline std::string ReadBytes(const AnsiString& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const AnsiString& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

inline bool Exists(const AnsiString& path)
{
    return std::filesystem::exists(std::filesystem::path(path));
}

} // namespace config_test
