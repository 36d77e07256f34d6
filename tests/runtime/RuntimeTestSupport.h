#pragma once
// A scratch folder in the build tree for tests that touch files.
#include "runtime/uText.h"
#include "tests/support/uTestPaths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace runtime_test {

// $KORVANT_BINARY_DIR/tests/runtime-work/<name>\ as the program sees it, emptied.
inline AnsiString FreshFolder(const AnsiString& name)
{
    const char* binary = std::getenv("KORVANT_BINARY_DIR");
    AnsiString root = ProgramPath(std::string(binary ? binary : "/tmp") + "/tests/runtime-work/" + name);
    std::filesystem::remove_all(std::filesystem::path(HostPath(root)));
    std::filesystem::create_directories(std::filesystem::path(HostPath(root)));
    return root + "\\";
}

inline std::string ReadBytes(const AnsiString& path)
{
    std::ifstream in(std::filesystem::path(HostPath(path)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const AnsiString& path, const std::string& bytes)
{
    std::ofstream(std::filesystem::path(HostPath(path)), std::ios::binary) << bytes;
}

} // namespace runtime_test
