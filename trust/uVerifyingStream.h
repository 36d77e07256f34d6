#pragma once
// A download's destination that checks what passes through it: every byte
// written is hashed on its way to the real stream (no second read of the
// file), and no more than the expected size is accepted, so a hostile server
// cannot fill the disk or the memory behind the check.
#include "platform/uCrypto.h"
#include "platform/uJobThread.h"
#include "runtime/uStreams.h"

#include <vector>

// SHA-256 one piece behind the writer, on a second thread: a download goes
// on receiving and writing while the piece before is hashed (under Wine the
// hash alone takes longer than the transfer). Small totals never start it.
class TBackgroundSha256 {
public:
    TBackgroundSha256() = default;
    TBackgroundSha256(const TBackgroundSha256&) = delete;
    TBackgroundSha256& operator=(const TBackgroundSha256&) = delete;

    void Update(const void* data, std::size_t count);
    platform::TSha256Digest Final();
    void Reset();

private:
    static constexpr std::size_t kPiece = 1 << 20;
    void HandOver();

    platform::TSha256 FHash;
    std::vector<std::uint8_t> FFilling, FHashing;
    platform::TJobThread FThread; // last: it ends before the buffers go
};

class TVerifyingStream : public TStream {
    RT_CLASS(TVerifyingStream, TStream)
public:
    // Unhashed, it only counts, limits and restarts: for a download whose
    // bytes nobody will check (hashing a gigabyte costs seconds).
    TVerifyingStream(TStream& target, std::uint64_t limit, bool hashed = true);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return FTarget.Size() + FShift; }
    void SetSize(std::int64_t size) override { FTarget.SetSize(size > FShift ? size - FShift : 0); }

    // Bytes hashed, in order from the start of the stream.
    std::uint64_t Count() const { return FCount; }
    // More than the limit was offered, or the bytes did not arrive in order:
    // the hash does not describe the file and the check must fail.
    bool Spoiled() const { return FSpoiled; }
    platform::TSha256Digest Digest() { return FHash.Final(); }
    // Starts over: the target is emptied and the hash reset. Called from
    // a BeforeNextWrite hook (a server answering 200 to a resumed request), the
    // writer's idea of its position stays as it was, so its byte counts
    // still add up, while the bytes land at the start of the target.
    void Restart();
    // `hook` runs once, before the next byte is written: for a download, the
    // answer's status and headers are known by then, its body is not.
    void BeforeNextWrite(std::function<void()> hook);

private:
    TStream& FTarget;
    std::uint64_t FLimit;
    std::uint64_t FCount = 0;
    bool FSpoiled = false;
    bool FInHook = false;
    bool FHashed;
    std::int64_t FShift = 0; // the writer's position minus the target's
    TBackgroundSha256 FHash;
    std::function<void()> FHook;
};
