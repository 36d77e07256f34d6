#include "uPosixEngineHost.h"

#include "platform/uPosixFd.h"
#include "platform/uSystem.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zipcore {

namespace {

using platform::posix::TFd;

constexpr unsigned kOem = 1; // the OEM code page, as Windows names it

std::time_t DosToTime(std::uint16_t date, std::uint16_t time)
{
    std::tm t{};
    t.tm_year = ((date >> 9) & 0x7F) + 80;
    t.tm_mon = ((date >> 5) & 0x0F) - 1;
    t.tm_mday = date & 0x1F;
    t.tm_hour = (time >> 11) & 0x1F;
    t.tm_min = (time >> 5) & 0x3F;
    t.tm_sec = (time & 0x1F) * 2;
    t.tm_isdst = -1;
    // glibc guards its time zone with a lock the thread checker cannot see:
    // one conversion at a time keeps the workers' calls plainly ordered.
    static std::mutex lock;
    std::lock_guard guard(lock);
    return std::mktime(&t);
}

class TPosixArchive : public IArchiveFile {
public:
    TPosixArchive(TFd fd, std::uint64_t size) : FFd(std::move(fd)), FSize(size) {}
    std::uint64_t Size() const override { return FSize; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        auto p = static_cast<std::uint8_t*>(buffer);
        while (count > 0) {
            ssize_t n = ::pread(FFd.Get(), p, count, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n, offset += static_cast<std::uint64_t>(n), count -= static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    TFd FFd;
    std::uint64_t FSize;
};

class TPosixOutput : public IOutputFile {
public:
    explicit TPosixOutput(TFd fd) : FFd(std::move(fd)) {}
    bool Write(const void* data, std::size_t count) override
    {
        auto p = static_cast<const std::uint8_t*>(data);
        while (count > 0) {
            ssize_t n = ::write(FFd.Get(), p, count);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n, count -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool SetTime(std::uint16_t dosDate, std::uint16_t dosTime) override
    {
        timespec times[2] = {{0, UTIME_OMIT}, {DosToTime(dosDate, dosTime), 0}};
        return ::futimens(FFd.Get(), times) == 0;
    }
    // Closed here for the result: the last of the data may fail only now.
    bool Close() override { return ::close(FFd.Release()) == 0; }

private:
    TFd FFd;
};

} // namespace

std::string TPosixEngineHost::NativePath(const std::u16string& path)
{
    std::string s = platform::WideToMultiByte(path, platform::CP_UTF8_);
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

unsigned TPosixEngineHost::Cores()
{
    if (Threads)
        return Threads;
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    return static_cast<unsigned>(CPU_COUNT(&set));
}

std::unique_ptr<IArchiveFile> TPosixEngineHost::OpenArchive(const std::u16string& path)
{
    TFd fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    return std::make_unique<TPosixArchive>(std::move(fd), static_cast<std::uint64_t>(st.st_size));
}

std::unique_ptr<IOutputFile> TPosixEngineHost::CreateOutput(const std::u16string& path, bool mustBeNew)
{
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mustBeNew ? O_EXCL : O_TRUNC);
    TFd fd(::open(NativePath(path).c_str(), flags, 0644));
    if (!fd)
        return nullptr;
    return std::make_unique<TPosixOutput>(std::move(fd));
}

bool TPosixEngineHost::Replace(const std::u16string& from, const std::u16string& to)
{
    return ::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

bool TPosixEngineHost::Remove(const std::u16string& path) { return ::unlink(NativePath(path).c_str()) == 0; }

TFolderResult TPosixEngineHost::MakeFolder(const std::u16string& path)
{
    if (::mkdir(NativePath(path).c_str(), 0755) == 0)
        return TFolderResult::Made;
    if (errno == EEXIST)
        return TFolderResult::Exists;
    return errno == ENOENT ? TFolderResult::NoParent : TFolderResult::Failed;
}

bool TPosixEngineHost::RemoveFolder(const std::u16string& path) { return ::rmdir(NativePath(path).c_str()) == 0; }

TTargetInfo TPosixEngineHost::Probe(const std::u16string& path, std::uint16_t dosDate, std::uint16_t dosTime)
{
    TTargetInfo r;
    struct stat st;
    if (::stat(NativePath(path).c_str(), &st) != 0)
        return r;
    r.Exists = true;
    r.IsFolder = S_ISDIR(st.st_mode);
    r.OlderThanEntry = DosToTime(dosDate, dosTime) > st.st_mtime;
    return r;
}

std::u16string TPosixEngineHost::Decode(std::string_view bytes, TTextCode code)
{
    unsigned page = code == TTextCode::Utf8 ? platform::CP_UTF8_ : code == TTextCode::Oem ? kOem : platform::CP_ANSI;
    return platform::MultiByteToWide(bytes, page);
}

std::string TPosixEngineHost::ToAnsi(std::u16string_view text)
{
    return platform::WideToMultiByte(text, platform::CP_ANSI);
}

bool TMemoryArchive::ReadAt(std::uint64_t offset, void* buffer, std::size_t count)
{
    if (offset > FBytes.size() || count > FBytes.size() - offset)
        return false;
    if (count)
        std::memcpy(buffer, FBytes.data() + offset, count);
    return true;
}

} // namespace zipcore
