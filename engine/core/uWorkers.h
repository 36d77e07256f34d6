#pragma once
// The threads that run entries' chains: a fixed number, each with its own
// chain tools, taking jobs in the order they were posted.
#include "uEntryChain.h"

#include <condition_variable>
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

    // Up to `count` threads with tools for entries up to `largest` bytes;
    // fewer when the system or the memory gives no more (Size() tells).
    TWorkers(unsigned count, std::uint64_t largest);
    // Jobs not yet started are dropped; running ones end first.
    ~TWorkers();
    TWorkers(const TWorkers&) = delete;
    TWorkers& operator=(const TWorkers&) = delete;

    unsigned Size() const { return static_cast<unsigned>(FThreads.size()); }
    void Post(TJob job);

private:
    void Loop(TChainTools& tools);

    std::mutex FLock;
    std::condition_variable FWake;
    std::deque<TJob> FQueue;
    bool FQuit = false;
    std::vector<std::unique_ptr<TChainTools>> FTools;
    std::vector<std::thread> FThreads; // last: they end before what they use
};

} // namespace zipcore
