#pragma once
// Paths of the build tree as the code under test sees them. Under Wine the
// tree is on drive Z: ("Z:\work\..."); a native build sees the same path with
// backslashes ("\work\..."), which its platform layer reads as separators, so
// the core handles Windows-style paths on both.
#include <algorithm>
#include <string>

inline std::string ProgramPath(std::string unixPath)
{
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
#ifdef _WIN32
    return "Z:" + unixPath;
#else
    return unixPath;
#endif
}

// The same file for the test's own C++ library calls (streams, filesystem).
inline std::string HostPath(std::string programPath)
{
#ifndef _WIN32
    std::replace(programPath.begin(), programPath.end(), '\\', '/');
#endif
    return programPath;
}
