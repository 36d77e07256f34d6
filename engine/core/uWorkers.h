#pragma once
// The threads that run entries' chains: a fixed number, each with its own
// chain tools. The first takes jobs in the order they were posted, so the
// oldest entry, the one the caller waits for, is never held up; the others
// take the heaviest job waiting. Many small files cost the system's file
// creation more than the processor, and large entries cost the processor:
// that way the two overlap instead of every worker meeting the small ones
// at once.
#include "uEntryChain.h"

#include "platform/uSync.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zipcore {

class TWorkers {
public:
    using TJob = std::function<void(TChainTools&)>;

    // Up to `count` threads with tools for entries up to `largest` bytes,
    // each running `start` first; fewer when the system or the memory gives
    // no more (Size() tells).
    TWorkers(unsigned count, std::uint64_t largest, const std::function<void()>& start);
    // Jobs not yet started are dropped; running ones end first.
    ~TWorkers();
    TWorkers(const TWorkers&) = delete;
    TWorkers& operator=(const TWorkers&) = delete;

    unsigned Size() const { return static_cast<unsigned>(FThreads.size()); }
    // `weight`: what the job costs, roughly (its stored bytes).
    void Post(TJob job, std::uint64_t weight);

private:
    struct TQueued {
        std::uint64_t Weight;
        TJob Job;
    };
    void Loop(TChainTools& tools, bool oldestFirst, const std::function<void()>& start);

    platform::TLock FLock;
    platform::TSignal FWake;
    std::deque<TQueued> FQueue;
    bool FQuit = false;
    std::vector<std::unique_ptr<TChainTools>> FTools;
    std::vector<std::thread> FThreads; // last: they end before what they use
};

} // namespace zipcore
