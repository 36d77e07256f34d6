// The native build's files, text and environment. Handles are file
// descriptors stored off by one, so that descriptor 0 is still a valid handle
// and a null handle stays invalid, as on Windows.
#include "platform/uSystem.h"
#include "platform/uDrives.h"
#include "platform/uPosixFd.h"

#include "uPosix.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace posix {
int Descriptor(void* handle) { return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1; }
void* HandleOf(int fd) { return fd < 0 ? nullptr : reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1); }

std::string NativePath(const std::string& path)
{
    std::string result = path;
    for (char& c : result)
        if (c == '\\')
            c = '/';
    return result;
}
} // namespace posix

bool THandleTraits::IsValid(void* handle) noexcept { return handle != nullptr; }

void THandleTraits::Close(void* handle) noexcept { ::close(posix::Descriptor(handle)); }

std::u16string MultiByteToWide(std::string_view text, unsigned codePage)
{
    std::u16string result;
    posix::Decode(text, codePage, result);
    return result;
}

std::string WideToMultiByte(std::u16string_view text, unsigned codePage) { return posix::Encode(text, codePage); }

unsigned AnsiCodePage() { return posix::AnsiCodePage; }

int CompareAnsi(std::string_view a, std::string_view b, bool ignoreCase)
{
    std::string x = ignoreCase ? LowerCaseAnsi(a) : std::string(a);
    std::string y = ignoreCase ? LowerCaseAnsi(b) : std::string(b);
    int r = x.compare(y);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

std::string UpperCaseAnsi(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(posix::UpperAnsi(static_cast<unsigned char>(c)));
    return result;
}

std::string LowerCaseAnsi(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(posix::LowerAnsi(static_cast<unsigned char>(c)));
    return result;
}

unsigned LastError() { return static_cast<unsigned>(errno); }

std::string SysErrorMessage(unsigned code) { return std::strerror(static_cast<int>(code)); }

TOwnedHandle OpenFile(const std::string& path, bool write, unsigned shareMode, TCreateDisposition disposition)
{
    int flags = (write ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    if (disposition == TCreateDisposition::CreateAlways)
        flags |= O_CREAT | O_TRUNC;
    return TOwnedHandle(posix::HandleOf(::open(posix::NativePath(path).c_str(), flags, 0644)));
}

bool ReadFile(void* handle, void* buffer, std::uint32_t count, std::uint32_t& done)
{
    ssize_t n;
    do
        n = ::read(posix::Descriptor(handle), buffer, count);
    while (n < 0 && errno == EINTR);
    done = n > 0 ? static_cast<std::uint32_t>(n) : 0;
    return n >= 0;
}

bool WriteFile(void* handle, const void* buffer, std::uint32_t count, std::uint32_t& done)
{
    done = 0;
    const char* p = static_cast<const char*>(buffer);
    while (done < count) {
        ssize_t n = ::write(posix::Descriptor(handle), p + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::uint32_t>(n);
    }
    return true;
}

std::int64_t SeekFile(void* handle, std::int64_t offset, int origin)
{
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(posix::Descriptor(handle), static_cast<off_t>(offset), whence);
    return r < 0 ? -1 : static_cast<std::int64_t>(r);
}

bool SetEndOfFile(void* handle)
{
    int fd = posix::Descriptor(handle);
    off_t here = ::lseek(fd, 0, SEEK_CUR);
    return here >= 0 && ::ftruncate(fd, here) == 0;
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return ::stat(posix::NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st;
    return ::stat(posix::NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const std::string& path) { return ::mkdir(posix::NativePath(path).c_str(), 0755) == 0; }

bool ForceDirectories(const std::string& path)
{
    std::string dir = posix::NativePath(path);
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (dir.empty())
        return false;
    if (DirectoryExists(dir))
        return true;
    size_t cut = dir.find_last_of('/');
    if (cut != std::string::npos && cut > 0 && !ForceDirectories(dir.substr(0, cut)))
        return false;
    return MakeDirectory(dir) || DirectoryExists(dir);
}

bool RemoveFile(const std::string& path) { return ::unlink(posix::NativePath(path).c_str()) == 0; }

bool ReplaceFileWith(const std::string& from, const std::string& to)
{
    return ::rename(posix::NativePath(from).c_str(), posix::NativePath(to).c_str()) == 0;
}

std::string GetEnvVar(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

std::string ModuleFileName(void* module)
{
    std::string buffer(PATH_MAX, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buffer;
}

std::int64_t FileSize(void* handle)
{
    struct stat st;
    return ::fstat(posix::Descriptor(handle), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

std::string FullPathName(const std::string& path)
{
    std::string native = posix::NativePath(path);
    if (!native.empty() && native[0] == '/')
        return native;
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + native : native;
}

std::string TempPath()
{
    std::string dir = GetEnvVar("TMPDIR");
    if (dir.empty())
        dir = "/tmp";
    return dir.back() == '/' ? dir : dir + "/";
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix)
{
    std::string dir = posix::NativePath(folder);
    std::string pattern = dir + (dir.empty() || dir.back() == '/' ? "" : "/") + prefix + "XXXXXX";
    const posix::TFd fd(::mkstemp(pattern.data()));
    if (!fd)
        return {};
    return pattern;
}

} // namespace platform

namespace platform {

// A native build has no drive letters and no mapped network drives.
bool IsHardDrive(const std::string& root) { return DirectoryExists(root); }
bool DriveExists(const std::string& root) { return DirectoryExists(root); }
std::string VolumeLabel(const std::string& root) { return {}; }
std::string UniversalName(const std::string& path) { return path; }

} // namespace platform
