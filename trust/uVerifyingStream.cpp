#include "uVerifyingStream.h"

#include "runtime/uResStrings.h"
#include "runtime/uSysUtils.h"

TVerifyingStream::TVerifyingStream(TStream& target, std::uint64_t limit, bool hashed)
    : FTarget(target), FLimit(limit), FHashed(hashed)
{
}

std::int64_t TVerifyingStream::Read(void* buffer, std::int64_t count) { return FTarget.Read(buffer, count); }

std::int64_t TVerifyingStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    if (FHook) {
        auto hook = std::move(FHook);
        FHook = nullptr;
        FInHook = true;
        try {
            hook();
        } catch (...) {
            FInHook = false;
            throw;
        }
        FInHook = false;
    }
    // Writes must continue where the hash stands; anything else means the
    // writer went back, and the digest would not be the file's.
    if (FTarget.Position() != std::int64_t(FCount))
        FSpoiled = true;
    if (std::uint64_t(count) > FLimit - std::min(FCount, FLimit)) {
        FSpoiled = true;
        throw EWriteError(LoadResString(rs::SWriteError));
    }
    std::int64_t done = FTarget.Write(buffer, count);
    if (done > 0) {
        if (FHashed)
            FHash.Update(buffer, static_cast<std::size_t>(done));
        FCount += std::uint64_t(done);
    }
    return done;
}

std::int64_t TVerifyingStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    if (origin == TSeekOrigin::soBeginning)
        offset -= FShift;
    std::int64_t at = FTarget.Seek(offset, origin);
    return at < 0 ? at : at + FShift;
}

void TVerifyingStream::Restart()
{
    const std::int64_t writerPosition = Position();
    FHash.Reset();
    FCount = 0;
    FSpoiled = false;
    FTarget.SetSize(0);
    FTarget.SetPosition(0);
    FShift = FInHook ? writerPosition : 0;
}

void TVerifyingStream::BeforeNextWrite(std::function<void()> hook) { FHook = std::move(hook); }
