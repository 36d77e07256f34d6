#include "uSetupHost.h"

#include "uSystem.h"
#include "uWinOwners.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace platform {

std::vector<std::string> CommandLineArguments()
{
    std::vector<std::string> args;
    int count = 0;
    const win::TLocalMem<LPWSTR> argv(::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!argv)
        return args;
    for (int i = 1; i < count; ++i) {
        const std::u16string wide(reinterpret_cast<const char16_t*>(argv.Get()[i]));
        args.push_back(WideToMultiByte(wide, CP_ANSI));
    }
    return args;
}

void WriteStandardError(const std::string& text)
{
    HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string LocalDateCompact()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char text[16];
    std::snprintf(text, sizeof text, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}

std::string LocalDateTime()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

bool CopyFileOver(const std::string& from, const std::string& to)
{
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool RemoveEmptyDirectory(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != 0; }

bool RenameFile(const std::string& from, const std::string& to)
{
    return ::MoveFileExA(from.c_str(), to.c_str(), 0) != 0;
}

bool DeleteAtRestart(const std::string& path)
{
    return ::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

std::optional<std::uint64_t> FileSizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\')
        pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA found;
    const win::TFindHandle search(
        ::FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (!search)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.emplace_back(found.cFileName);
    } while (::FindNextFileA(search.Get(), &found));
    return names;
}

std::string TempFolder()
{
    char path[MAX_PATH + 1];
    const DWORD n = ::GetTempPathA(sizeof path, path);
    if (n == 0 || n > MAX_PATH)
        return {};
    std::string folder(path, n);
    if (folder.back() != '\\')
        folder += '\\';
    return folder;
}

std::string FileVersionText(const std::string& path)
{
    // As an image resource only: nothing of the program runs, and no
    // version.dll is loaded from wherever the search would find one.
    const win::TModuleHandle image(
        ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!image)
        return {};
    const HMODULE module = image.Get();
    std::string text;
    HRSRC info = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)); // RT_VERSION
    HGLOBAL loaded = info ? ::LoadResource(module, info) : nullptr;
    const auto* data = loaded ? static_cast<const unsigned char*>(::LockResource(loaded)) : nullptr;
    const DWORD size = info ? ::SizeofResource(module, info) : 0;
    // VS_FIXEDFILEINFO follows the "VS_VERSION_INFO" key, 32-bit aligned;
    // found by its signature, checked to lie inside the resource.
    for (DWORD at = 0; data && at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, data + at, sizeof fixed);
        if (fixed.dwSignature != 0xFEEF04BD)
            continue;
        char version[64];
        std::snprintf(version, sizeof version, "%lu.%lu.%lu.%lu", fixed.dwFileVersionMS >> 16,
                      fixed.dwFileVersionMS & 0xFFFF, fixed.dwFileVersionLS >> 16, fixed.dwFileVersionLS & 0xFFFF);
        text = version;
        break;
    }
    return text;
}

void ShowInfoBox(const std::string& caption, const std::string& text)
{
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

void ShowErrorMessageBox(const std::string& caption, const std::string& text)
{
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

bool AskYesNoBox(const std::string& caption, const std::string& text)
{
    return ::MessageBoxA(nullptr, text.c_str(), caption.c_str(),
                         MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND) == IDYES;
}

} // namespace platform
