#include "uEntryChain.h"

#include "uCrypt.h"

#include "platform/uSync.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

using namespace zipeng;

namespace zipcore {

namespace {

constexpr std::size_t kInChunk = 1 << 20;   // stored bytes read at once
constexpr std::size_t kOutChunk = 4 << 20;  // decoded bytes written (and reported) at once
constexpr std::size_t kMinChunk = 4096;
// An encrypted entry of this many stored bytes or more reads and decrypts
// ahead on a thread of its own (one more read block, 1 MiB, for it):
// decryption is one serial chain, and beside it the inflating, checking and
// writing of the block before it run on another processor.
constexpr std::uint64_t kReadAheadFrom = 4 * kInChunk;

// Chains running now in this process: reading ahead only pays while a
// processor is left over for it.
std::atomic<unsigned> gRunningChains{0};

} // namespace

struct TChainTools::TInflater {
    z_stream Stream{};
    bool Ready = false;
    ~TInflater()
    {
        if (Ready)
            inflateEnd(&Stream);
    }
    // A fresh raw deflate stream; false when zlib has no memory for one.
    bool Restart()
    {
        if (Ready)
            return inflateReset(&Stream) == Z_OK;
        Ready = inflateInit2(&Stream, -MAX_WBITS) == Z_OK;
        return Ready;
    }
};

TChainTools::TChainTools(std::uint64_t largest) : Inflater(std::make_unique<TInflater>())
{
    std::size_t chunk = static_cast<std::size_t>(std::clamp<std::uint64_t>(largest + 1, kMinChunk, kOutChunk));
    In.resize(std::min(chunk, kInChunk));
    Out.resize(chunk);
}

TChainTools::~TChainTools() = default;

std::u16string TemporaryName(const std::u16string& target) { return target + u".~zetmp"; }

namespace {

// The stages of one entry, from the stored bytes to the file. Progress is
// reported each time the output buffer is full and at the end; for stored
// data, which go straight from the read block to the file, "full" counts
// what was written since the last report, so reports come at the same points
// either way.
class TDecode {
public:
    TDecode(const TArchive& archive, const TEntryJob& job, TChainTools& tools, IOutputFile* out, IChainEvents& events)
        : FArchive(archive), FEntry(*job.Entry), FJob(job), FTools(tools), FOut(out), FEvents(events),
          FReadPos(job.DataStart), FRemaining(FEntry.CompSize)
    {
    }
    bool Run();

private:
    bool Fail(TEngineError code, const std::string& text)
    {
        FEvents.Error(code, text);
        return false;
    }
    bool Open();
    bool Refill();
    // Read stage and decrypt stage of one block into `block`; false when the
    // archive ends early.
    bool ReadBlock(std::uint8_t* block, std::size_t want);
    // The reading-ahead thread: blocks in turn into two buffers, each taken
    // again once the decoding thread has handed the other back.
    void ReadAhead();
    void StopReadAhead();
    bool StepStored();
    bool StepInflate();
    bool Write(const std::uint8_t* data, std::size_t n);
    bool Flush();

    const TArchive& FArchive;
    const TEntry& FEntry;
    const TEntryJob& FJob;
    TChainTools& FTools;
    IOutputFile* FOut;
    IChainEvents& FEvents;
    std::unique_ptr<TDecrypter> FDecrypter;
    std::uint64_t FReadPos, FRemaining;   // stored bytes not yet read (the read stage's)
    std::uint64_t FLeft = 0;              // stored bytes not yet decoded (the decoding loop's)
    const std::uint8_t* FInNext = nullptr;
    std::size_t FInAvail = 0;
    std::uint64_t FProduced = 0, FReported = 0;
    std::size_t FPending = 0;             // decoded bytes in Out not yet written
    std::uint32_t FCrc = 0;
    bool FFinished = false;

    // Reading ahead: the thread, its two buffers (the tools' and one of its
    // own), and under the lock which block each holds.
    std::thread FAhead;
    std::vector<std::uint8_t> FSpare;
    platform::TLock FAheadLock;
    platform::TSignal FAheadChanged;
    std::uint64_t FAheadRead = 0;        // blocks read ahead so far
    std::uint64_t FAheadTaken = 0;       // blocks the decoding thread took
    std::size_t FAheadSize[2] = {};
    bool FAheadFailed = false, FAheadStop = false;

public:
    ~TDecode() { StopReadAhead(); }
};

bool TDecode::Run()
{
    if (!Open())
        return false;
    while (!FFinished) {
        if (FInAvail == 0 && FLeft > 0 && !Refill())
            return false;
        if (!(FEntry.Method == 0 ? StepStored() : StepInflate()))
            return false;
        if (FProduced > FEntry.Size)
            return Fail(eeSizeExceeded, "Data of " + FEntry.AnsiName + " exceed the declared size");
        if ((FPending == FTools.Out.size() || FFinished) && !Flush())
            return false;
    }
    if (FProduced != FEntry.Size)
        return Fail(eeBadData, "Damaged data in " + FEntry.AnsiName + " (size differs)");
    if (FCrc != FEntry.Crc)
        return Fail(eeBadCRC, "CRC error in " + FEntry.AnsiName);
    return true;
}

// The encryption header goes through the keys first; then a fresh inflater.
bool TDecode::Open()
{
    if (FEntry.Encrypted()) {
        FDecrypter = std::make_unique<TDecrypter>(FJob.Password);
        std::uint8_t header[kCryptHeader];
        if (!FArchive.ReadAt(FTools.Window, FReadPos, header, kCryptHeader))
            return Fail(eeBadData, "Damaged data in " + FEntry.AnsiName);
        FDecrypter->Decrypt(header, kCryptHeader);
        FReadPos += kCryptHeader;
        FRemaining -= kCryptHeader;
    }
    FLeft = FRemaining;
    if (FEntry.Method == 8 && !FTools.Inflater->Restart())
        return Fail(eeNoMemory, "Not enough memory to inflate " + FEntry.AnsiName);
    if (FDecrypter && FRemaining >= kReadAheadFrom && FTools.In.size() == kInChunk &&
        gRunningChains.load() < FJob.Processors) {
        try {
            FSpare.resize(kInChunk);
            FAhead = std::thread([this] {
                if (FJob.ThreadStart)
                    FJob.ThreadStart();
                ReadAhead();
            });
        } catch (const std::exception&) {
            // No memory or no thread for it: the blocks are read in turn.
            FSpare.clear();
        }
    }
    return true;
}

bool TDecode::ReadBlock(std::uint8_t* block, std::size_t want)
{
    if (!FArchive.ReadAt(FTools.Window, FReadPos, block, want))
        return false;
    if (FDecrypter)
        FDecrypter->Decrypt(block, want);
    FReadPos += want;
    FRemaining -= want;
    return true;
}

// The read position, the keys and the read window are this thread's alone
// until it ends; the decoding thread only takes finished blocks.
void TDecode::ReadAhead()
{
    for (std::uint64_t block = 0; FRemaining > 0; ++block) {
        {
            std::unique_lock lock(FAheadLock);
            // Block n goes where block n - 2 was: once that was taken and
            // the one after it asked for, it is used up.
            FAheadChanged.wait(lock, [&] { return FAheadStop || block < 2 || FAheadTaken >= block; });
            if (FAheadStop)
                return;
        }
        std::uint8_t* buffer = (block % 2 == 0 ? FTools.In : FSpare).data();
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(FRemaining, kInChunk));
        const bool ok = ReadBlock(buffer, want);
        {
            std::lock_guard lock(FAheadLock);
            FAheadSize[block % 2] = want;
            FAheadFailed = !ok;
            FAheadRead = block + 1;
        }
        FAheadChanged.notify_all();
        if (!ok)
            return;
    }
}

void TDecode::StopReadAhead()
{
    if (!FAhead.joinable())
        return;
    {
        std::lock_guard lock(FAheadLock);
        FAheadStop = true;
    }
    FAheadChanged.notify_all();
    FAhead.join();
}

// Read stage and decrypt stage: the next block of stored bytes, plain.
bool TDecode::Refill()
{
    if (FAhead.joinable()) {
        // The next block from the thread reading ahead; asking for it hands
        // the one before back.
        std::unique_lock lock(FAheadLock);
        const std::uint64_t block = FAheadTaken++;
        FAheadChanged.notify_all();
        FAheadChanged.wait(lock, [&] { return FAheadRead > block || FAheadFailed; });
        if (FAheadRead <= block)
            return Fail(eeBadData, "Damaged data in " + FEntry.AnsiName + " (archive ends early)");
        FInNext = (block % 2 == 0 ? FTools.In : FSpare).data();
        FInAvail = FAheadSize[block % 2];
        FLeft -= FInAvail;
        return true;
    }
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(FRemaining, FTools.In.size()));
    if (!ReadBlock(FTools.In.data(), want))
        return Fail(eeBadData, "Damaged data in " + FEntry.AnsiName + " (archive ends early)");
    FInNext = FTools.In.data();
    FInAvail = want;
    FLeft -= want;
    return true;
}

bool TDecode::StepStored()
{
    std::size_t n = std::min(FInAvail, FTools.Out.size() - FPending);
    if (!Write(FInNext, n))
        return false;
    FInNext += n, FInAvail -= n, FPending += n, FProduced += n;
    FFinished = FLeft == 0 && FInAvail == 0;
    return true;
}

// Inflate stage. It never asks for more than one byte past the declared
// size, so a lying header cannot make it fill the disk.
bool TDecode::StepInflate()
{
    z_stream& z = FTools.Inflater->Stream;
    std::uint64_t room = std::min<std::uint64_t>(FTools.Out.size() - FPending,
                                                 FEntry.Size - std::min<std::uint64_t>(FProduced, FEntry.Size) + 1);
    z.next_in = const_cast<Bytef*>(FInNext);
    z.avail_in = static_cast<uInt>(FInAvail);
    z.next_out = FTools.Out.data() + FPending;
    z.avail_out = static_cast<uInt>(room);
    int result = inflate(&z, Z_NO_FLUSH);
    std::size_t made = static_cast<std::size_t>(room - z.avail_out);
    FInNext = z.next_in;
    FInAvail = z.avail_in;
    FPending += made, FProduced += made;
    if (result == Z_STREAM_END)
        FFinished = true;
    else if (result == Z_NEED_DICT || result == Z_DATA_ERROR || result == Z_STREAM_ERROR || result == Z_MEM_ERROR ||
             (made == 0 && FInAvail == 0 && FLeft == 0))
        return Fail(eeBadData, "Damaged data in " + FEntry.AnsiName);
    return true;
}

// Check stage (the running CRC) and write stage.
bool TDecode::Write(const std::uint8_t* data, std::size_t n)
{
    FCrc = static_cast<std::uint32_t>(crc32(FCrc, data, static_cast<uInt>(n)));
    if (FOut && n && !FOut->Write(data, n))
        return Fail(eeCreateFile, "Cannot write " + FEntry.AnsiName);
    return true;
}

bool TDecode::Flush()
{
    if (FEntry.Method != 0 && !Write(FTools.Out.data(), FPending))
        return false;
    FPending = 0;
    bool go = FEvents.Progress(static_cast<std::int64_t>(FProduced - FReported));
    FReported = FProduced;
    return go;
}

// A new file is written in place; an existing one (known, or found when
// creating) only beside it, so a damaged entry never destroys a good file.
std::unique_ptr<IOutputFile> CreateOutput(IEngineHost& host, const TEntryJob& job, TEntryOutcome& outcome)
{
    std::unique_ptr<IOutputFile> out;
    if (!job.Exists)
        out = host.CreateOutput(job.Target, true);
    outcome.Replacing = !out;
    outcome.Written = outcome.Replacing ? TemporaryName(job.Target) : job.Target;
    if (outcome.Replacing)
        out = host.CreateOutput(outcome.Written, false);
    if (!out)
        outcome.Written.clear();
    return out;
}

} // namespace

TEntryOutcome RunChain(const TArchive& archive, IEngineHost& host, const TEntryJob& job, TChainTools& tools,
                       IChainEvents& events)
{
    TEntryOutcome outcome;
    const TEntry& e = *job.Entry;
    struct TRunning {
        TRunning() { ++gRunningChains; }
        ~TRunning() { --gRunningChains; }
    } running;
    if (job.Test) {
        outcome.Ok = TDecode(archive, job, tools, nullptr, events).Run();
        return outcome;
    }
    std::unique_ptr<IOutputFile> out = CreateOutput(host, job, outcome);
    if (!out) {
        events.Error(eeCreateFile, "Cannot create file " + e.AnsiName);
        return outcome;
    }
    bool ok = false;
    try {
        ok = TDecode(archive, job, tools, out.get(), events).Run();
        if (ok)
            out->SetTime(e.Date, e.Time);
        if (!out->Close() && ok) {
            events.Error(eeCreateFile, "Cannot write " + e.AnsiName);
            ok = false;
        }
    } catch (...) {
        // Out of memory for a message: nothing half-written stays.
        out.reset();
        host.Remove(outcome.Written);
        throw;
    }
    out.reset();
    if (!ok) {
        host.Remove(outcome.Written);
        outcome.Written.clear();
    }
    outcome.Ok = ok;
    return outcome;
}

} // namespace zipcore
