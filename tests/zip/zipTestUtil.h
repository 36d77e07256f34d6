#pragma once
// Where the test archives and engines are, as Windows paths.
#include "runtime/uText.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace ziptest {

inline AnsiString WinPath(const char* unixPath)
{
    AnsiString p = unixPath ? unixPath : "";
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return (!p.empty() && p[0] == '\\') ? "Z:" + p : p;
}

inline AnsiString EnvPath(const char* name) { return WinPath(std::getenv(name)); }
inline AnsiString DataDir() { return EnvPath("ZIP_TEST_DATA") + "\\"; }
inline AnsiString EngineDir() { return EnvPath("ZIP_ENGINE_DIR") + "\\"; }
inline AnsiString FakeEngineDir(const char* kind) { return EnvPath("ZIP_FAKE_ENGINES") + "\\" + kind + "\\"; }

inline std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteAll(const std::filesystem::path& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

// A fresh folder for one test, holding a copy of `archive`; returns the
// copy's path.
inline AnsiString FreshCopy(const std::string& folder, const std::string& archive)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::path(DataDir()) / ".." / "work" / folder;
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path target = dir / archive;
    fs::copy_file(fs::path(DataDir()) / archive, target);
    return fs::canonical(target).string();
}

} // namespace ziptest
