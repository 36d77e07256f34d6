#pragma once
// Files, folders and ports that the installation tests share: the install
// folder they all use, the desktop the shortcut lands on, the fault proxy.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

namespace installtest {

inline const std::string InstallFolder = "C:\\KORVANT07\\";
inline const std::string DataFolder = InstallFolder + "DATA07\\";

// The fault proxy's port as the test run started it (8709 unless told).
inline const int FaultProxyPort = [] {
    const char* port = std::getenv("KORVANT_FAULT_PROXY_PORT");
    return port && std::atoi(port) > 0 ? std::atoi(port) : 8709;
}();

inline std::string TempFolder()
{
    char temp[MAX_PATH];
    const DWORD n = GetTempPathA(MAX_PATH, temp);
    return std::string(temp, n);
}

// The wizard's support logs now in the temporary folder.
inline std::set<std::string> SetupLogs()
{
    std::set<std::string> logs;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((TempFolder() + "KORVANT Setup *.log").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return logs;
    do
        logs.insert(TempFolder() + found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return logs;
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void WriteFileText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Removes a folder and all in it; tried again while a file in it is still
// held (a program of the test before may still be ending), until the folder
// is gone or 30 s have passed.
inline void RemoveTree(const std::string& path)
{
    const std::string from = path + '\0';
    const ULONGLONG until = GetTickCount64() + 30000;
    for (;;) {
        SHFILEOPSTRUCTA op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NO_UI;
        SHFileOperationA(&op);
        if (!Exists(path) || GetTickCount64() >= until)
            return;
        Sleep(100);
    }
}

// The user's desktop folder with its trailing backslash; empty when unknown.
inline std::string DesktopFolder()
{
    char path[MAX_PATH];
    DWORD size = sizeof path;
    if (RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                     "Desktop", RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
        return {};
    std::string folder = path;
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    return folder;
}

inline std::string DesktopLink()
{
    const std::string folder = DesktopFolder();
    return folder.empty() ? std::string() : folder + "Korvant.lnk";
}

} // namespace installtest
