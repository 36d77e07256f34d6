#include "uEntryChain.h"

#include "uCrypt.h"

#include <zlib.h>

#include <algorithm>

using namespace zipeng;

namespace zipcore {

namespace {

constexpr std::size_t kInChunk = 1 << 20;   // stored bytes read at once
constexpr std::size_t kOutChunk = 4 << 20;  // decoded bytes written (and reported) at once
constexpr std::size_t kMinChunk = 4096;

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
    std::uint64_t FReadPos, FRemaining;   // stored bytes not yet read
    const std::uint8_t* FInNext = nullptr;
    std::size_t FInAvail = 0;
    std::uint64_t FProduced = 0, FReported = 0;
    std::size_t FPending = 0;             // decoded bytes in Out not yet written
    std::uint32_t FCrc = 0;
    bool FFinished = false;
};

bool TDecode::Run()
{
    if (!Open())
        return false;
    while (!FFinished) {
        if (FInAvail == 0 && FRemaining > 0 && !Refill())
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
    if (FEntry.Method == 8 && !FTools.Inflater->Restart())
        return Fail(eeNoMemory, "Not enough memory to inflate " + FEntry.AnsiName);
    return true;
}

// Read stage and decrypt stage: the next block of stored bytes, plain.
bool TDecode::Refill()
{
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(FRemaining, FTools.In.size()));
    if (!FArchive.ReadAt(FTools.Window, FReadPos, FTools.In.data(), want))
        return Fail(eeBadData, "Damaged data in " + FEntry.AnsiName + " (archive ends early)");
    if (FDecrypter)
        FDecrypter->Decrypt(FTools.In.data(), want);
    FReadPos += want;
    FRemaining -= want;
    FInNext = FTools.In.data();
    FInAvail = want;
    return true;
}

bool TDecode::StepStored()
{
    std::size_t n = std::min(FInAvail, FTools.Out.size() - FPending);
    if (!Write(FInNext, n))
        return false;
    FInNext += n, FInAvail -= n, FPending += n, FProduced += n;
    FFinished = FRemaining == 0 && FInAvail == 0;
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
             (made == 0 && FInAvail == 0 && FRemaining == 0))
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
