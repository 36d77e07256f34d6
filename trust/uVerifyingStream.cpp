#include "uVerifyingStream.h"

#include "platform/uOwner.h"
#include "runtime/uResStrings.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <utility>

void TBackgroundSha256::Update(const void* data, std::size_t count)
{
    auto p = static_cast<const std::uint8_t*>(data);
    while (count > 0) {
        if (FFilling.capacity() < kPiece)
            FFilling.reserve(kPiece);
        std::size_t take = std::min(count, kPiece - FFilling.size());
        FFilling.insert(FFilling.end(), p, p + take);
        p += take, count -= take;
        if (FFilling.size() == kPiece)
            HandOver();
    }
}

void TBackgroundSha256::HandOver()
{
    FThread.Wait();
    std::swap(FFilling, FHashing);
    FFilling.clear();
    FThread.Post([this] { FHash.Update(FHashing.data(), FHashing.size()); });
}

platform::TSha256Digest TBackgroundSha256::Final()
{
    FThread.Wait();
    FHash.Update(FFilling.data(), FFilling.size());
    FFilling.clear();
    return FHash.Final();
}

void TBackgroundSha256::Reset()
{
    FThread.Wait();
    FFilling.clear();
    FHash.Reset();
}

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
        const platform::TScopeGuard leaveHook([this] { FInHook = false; });
        hook();
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
