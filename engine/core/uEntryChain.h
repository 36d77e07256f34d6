#pragma once
// One entry's chain: read its stored bytes, decrypt, inflate, check size and
// CRC-32, write. It runs on whichever thread the session gives it, touches
// nothing of any other entry, and tells what it has to say through
// IChainEvents, which the session turns into the caller's callbacks.
#include "uArchive.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zipcore {

class IChainEvents {
public:
    virtual ~IChainEvents() = default;
    // `bytes` more were decoded since the last report; false stops the chain.
    virtual bool Progress(std::int64_t bytes) = 0;
    virtual void Error(zipeng::TEngineError code, std::string text) = 0;
};

// What the session decided for an entry before its chain runs.
struct TEntryJob {
    const TEntry* Entry = nullptr;
    std::uint64_t DataStart = 0;
    std::string Password;      // the one that opened it, if encrypted
    bool Test = false;         // check only, write nothing
    std::u16string Target;     // the file to write
    bool Exists = false;       // known to be there already
    // The processors the run may use: a large encrypted entry reads and
    // decrypts ahead on a thread of its own while fewer chains than these run.
    unsigned Processors = 1;
    std::function<void()> ThreadStart; // run first by that thread
};

// What the chain left on disk.
struct TEntryOutcome {
    bool Ok = false;
    // The file it wrote, checked and closed: the target itself when that
    // was new, else a temporary file beside it that is to replace it.
    std::u16string Written;
    bool Replacing = false;
};

// A thread's tools for one chain after another: buffers of the size the
// largest entry needs (at most a chunk each), its read window, one inflater.
class TChainTools {
public:
    // Throws std::bad_alloc.
    explicit TChainTools(std::uint64_t largest);
    ~TChainTools();
    TChainTools(const TChainTools&) = delete;
    TChainTools& operator=(const TChainTools&) = delete;

    struct TInflater;
    std::vector<std::uint8_t> In, Out;
    TReadWindow Window;
    std::unique_ptr<TInflater> Inflater;
};

// The temporary name beside `target` an existing file is replaced through.
std::u16string TemporaryName(const std::u16string& target);

// Runs the chain. A file that did not check out is removed before this
// returns; one that did is left for the session to keep or remove.
TEntryOutcome RunChain(const TArchive& archive, IEngineHost& host, const TEntryJob& job, TChainTools& tools,
                       IChainEvents& events);

} // namespace zipcore
