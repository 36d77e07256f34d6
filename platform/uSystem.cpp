#include "uSystem.h"

#include "uWinText.h"
#include "uWinOwners.h"

#include <windows.h>

#include <vector>

namespace platform {

bool THandleTraits::IsValid(void* handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

void THandleTraits::Close(void* handle) noexcept { ::CloseHandle(handle); }

std::u16string MultiByteToWide(std::string_view text, unsigned codePage)
{
    if (text.empty())
        return {};
    int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string result(static_cast<size_t>(n), u'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), AsWin(result.data()), n);
    return result;
}

std::string WideToMultiByte(std::u16string_view text, unsigned codePage)
{
    if (text.empty())
        return {};
    int n = ::WideCharToMultiByte(codePage, 0, AsWin(text.data()), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, AsWin(text.data()), static_cast<int>(text.size()), result.data(), n, nullptr, nullptr);
    return result;
}

unsigned AnsiCodePage()
{
    return ::GetACP();
}

int CompareAnsi(std::string_view a, std::string_view b, bool ignoreCase)
{
    int r = ::CompareStringA(LOCALE_USER_DEFAULT, ignoreCase ? NORM_IGNORECASE : 0, a.data(),
                             static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
    return r - CSTR_EQUAL;
}

std::string UpperCaseAnsi(std::string_view text)
{
    std::string result(text);
    if (!result.empty())
        ::CharUpperBuffA(result.data(), static_cast<DWORD>(result.size()));
    return result;
}

std::string LowerCaseAnsi(std::string_view text)
{
    std::string result(text);
    if (!result.empty())
        ::CharLowerBuffA(result.data(), static_cast<DWORD>(result.size()));
    return result;
}

unsigned LastError()
{
    return ::GetLastError();
}

std::string SysErrorMessage(unsigned code)
{
    platform::win::TLocalMem<char> buffer;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                               nullptr, code, 0, reinterpret_cast<char*>(buffer.Receive()), 0, nullptr);
    std::string text;
    if (buffer)
        text.assign(buffer.Get(), n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

TOwnedHandle OpenFile(const std::string& path, bool write, unsigned shareMode, TCreateDisposition disposition)
{
    DWORD access = GENERIC_READ | (write ? GENERIC_WRITE : 0);
    DWORD how = disposition == TCreateDisposition::CreateAlways ? CREATE_ALWAYS : OPEN_EXISTING;
    return TOwnedHandle(::CreateFileA(path.c_str(), access, shareMode, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadFile(void* handle, void* buffer, std::uint32_t count, std::uint32_t& done)
{
    DWORD n = 0;
    BOOL ok = ::ReadFile(handle, buffer, count, &n, nullptr);
    done = n;
    return ok != FALSE;
}

bool WriteFile(void* handle, const void* buffer, std::uint32_t count, std::uint32_t& done)
{
    DWORD n = 0;
    BOOL ok = ::WriteFile(handle, buffer, count, &n, nullptr);
    done = n;
    return ok != FALSE;
}

std::int64_t SeekFile(void* handle, std::int64_t offset, int origin)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!::SetFilePointerEx(handle, distance, &result, static_cast<DWORD>(origin)))
        return -1;
    return result.QuadPart;
}

bool SetEndOfFile(void* handle)
{
    return ::SetEndOfFile(handle) != FALSE;
}

bool FileExists(const std::string& path)
{
    DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path)
{
    DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectory(const std::string& path)
{
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool ForceDirectories(const std::string& path)
{
    std::string dir = path;
    while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/'))
        dir.pop_back();
    if (dir.empty())
        return false;
    if (DirectoryExists(dir))
        return true;
    size_t cut = dir.find_last_of("\\/");
    if (cut != std::string::npos && cut > 0) {
        std::string parent = dir.substr(0, cut);
        // "C:" alone is the drive, which exists or not by itself.
        if (!(parent.size() == 2 && parent[1] == ':') && !ForceDirectories(parent))
            return false;
    }
    return MakeDirectory(dir) || DirectoryExists(dir);
}

bool RemoveFile(const std::string& path)
{
    return ::DeleteFileA(path.c_str()) != FALSE;
}

bool ReplaceFileWith(const std::string& from, const std::string& to)
{
    const std::u16string wideFrom = MultiByteToWide(from, CP_ANSI), wideTo = MultiByteToWide(to, CP_ANSI);
    return ::MoveFileExW(reinterpret_cast<const wchar_t*>(wideFrom.c_str()), reinterpret_cast<const wchar_t*>(wideTo.c_str()),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

std::string GetEnvVar(const std::string& name)
{
    DWORD n = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (n == 0)
        return {};
    std::string value(n, '\0');
    n = ::GetEnvironmentVariableA(name.c_str(), value.data(), n);
    value.resize(n);
    return value;
}

std::string ModuleFileName(void* module)
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameA(static_cast<HMODULE>(module), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace platform
