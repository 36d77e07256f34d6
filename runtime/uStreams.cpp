#include "uStreams.h"

#include "uResStrings.h"
#include "uSysUtils.h"
#include "platform/uSystem.h"

#include <algorithm>
#include <cstring>
#include <limits>

// --- TStream ----------------------------------------------------------------

std::int64_t TStream::Size()
{
    std::int64_t position = Seek(0, TSeekOrigin::soCurrent);
    std::int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

void TStream::SetSize(std::int64_t) {}

void TStream::ReadBuffer(void* buffer, std::int64_t count)
{
    auto* p = static_cast<std::uint8_t*>(buffer);
    while (count > 0) {
        std::int64_t n = Read(p, count);
        if (n <= 0)
            throw EReadError(LoadResString(rs::SReadError));
        p += n;
        count -= n;
    }
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count)
{
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    while (count > 0) {
        std::int64_t n = Write(p, count);
        if (n <= 0)
            throw EWriteError(LoadResString(rs::SWriteError));
        p += n;
        count -= n;
    }
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr std::int64_t chunk = 64 * 1024;
    std::vector<std::uint8_t> buffer(static_cast<size_t>(std::min(count, chunk)));
    std::int64_t left = count;
    while (left > 0) {
        std::int64_t n = std::min(left, chunk);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}

// --- THandleStream / TFileStream ----------------------------------------------

namespace {
constexpr std::int64_t MaxIo = std::numeric_limits<std::uint32_t>::max() / 2;
}

std::int64_t THandleStream::Read(void* buffer, std::int64_t count)
{
    std::uint32_t done = 0;
    if (count <= 0 || !platform::ReadFile(FHandle.Get(), buffer, static_cast<std::uint32_t>(std::min(count, MaxIo)), done))
        return 0;
    return done;
}

std::int64_t THandleStream::Write(const void* buffer, std::int64_t count)
{
    std::uint32_t done = 0;
    if (count <= 0 || !platform::WriteFile(FHandle.Get(), buffer, static_cast<std::uint32_t>(std::min(count, MaxIo)), done))
        return 0;
    return done;
}

std::int64_t THandleStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    return platform::SeekFile(FHandle.Get(), offset, static_cast<int>(origin));
}

void THandleStream::SetSize(std::int64_t size)
{
    Seek(size, TSeekOrigin::soBeginning);
    if (!platform::SetEndOfFile(FHandle.Get()))
        RaiseLastOSError();
}

namespace {
// FILE_SHARE_* bits for a share mode of the open-mode word.
unsigned ShareBits(unsigned mode, unsigned fallback)
{
    switch (mode & 0xF0) {
    case fmShareExclusive: return 0;
    case fmShareDenyWrite: return 1;     // FILE_SHARE_READ
    case fmShareDenyRead: return 2;      // FILE_SHARE_WRITE
    case fmShareDenyNone: return 1 | 2;
    default: return fallback;
    }
}
} // namespace

TFileStream::TFileStream(const AnsiString& fileName, unsigned mode) : FFileName(fileName)
{
    if ((mode & fmCreate) == fmCreate) {
        FHandle = platform::OpenFile(fileName, true, ShareBits(mode & 0xFF, 0), platform::TCreateDisposition::CreateAlways);
        if (!FHandle)
            throw EFCreateError(Format(LoadResString(rs::SFCreateError).c_str(), fileName.c_str()));
    } else {
        bool write = (mode & 3) != fmOpenRead;
        FHandle = platform::OpenFile(fileName, write, ShareBits(mode, 1 | 2), platform::TCreateDisposition::OpenExisting);
        if (!FHandle)
            throw EFOpenError(Format(LoadResString(rs::SFOpenError).c_str(), fileName.c_str()));
    }
}

// --- TMemoryStream ------------------------------------------------------------

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count)
{
    std::int64_t available = Size() - FPosition;
    std::int64_t n = std::max<std::int64_t>(0, std::min(count, available));
    if (n > 0)
        std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    if (FPosition + count > Size())
        FData.resize(static_cast<size_t>(FPosition + count));
    std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
    FPosition += count;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    switch (origin) {
    case TSeekOrigin::soBeginning: FPosition = offset; break;
    case TSeekOrigin::soCurrent: FPosition += offset; break;
    case TSeekOrigin::soEnd: FPosition = Size() + offset; break;
    }
    FPosition = std::max<std::int64_t>(0, FPosition);
    return FPosition;
}

void TMemoryStream::SetSize(std::int64_t size)
{
    FData.resize(static_cast<size_t>(std::max<std::int64_t>(0, size)));
    FPosition = std::min(FPosition, size);
}
