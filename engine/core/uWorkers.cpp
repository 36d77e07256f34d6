#include "uWorkers.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace zipcore {

TWorkers::TWorkers(unsigned count, std::uint64_t largest, const std::function<void()>& start)
{
    for (unsigned i = 0; i < count; ++i) {
        try {
            FTools.push_back(std::make_unique<TChainTools>(largest));
            FThreads.emplace_back(
                [this, &tools = *FTools.back(), oldestFirst = i == 0, start] { Loop(tools, oldestFirst, start); });
        } catch (const std::bad_alloc&) {
            break;
        } catch (const std::system_error&) {
            break;
        }
    }
}

TWorkers::~TWorkers()
{
    {
        std::lock_guard lock(FLock);
        FQuit = true;
        FQueue.clear();
    }
    FWake.notify_all();
    for (std::thread& t : FThreads)
        t.join();
}

void TWorkers::Post(TJob job, std::uint64_t weight)
{
    {
        std::lock_guard lock(FLock);
        FQueue.push_back(TQueued{weight, std::move(job)});
    }
    FWake.notify_one();
}

void TWorkers::Loop(TChainTools& tools, bool oldestFirst, const std::function<void()>& start)
{
    if (start)
        start();
    std::unique_lock lock(FLock);
    for (;;) {
        FWake.wait(lock, [this] { return FQuit || !FQueue.empty(); });
        if (FQuit)
            return;
        auto next = FQueue.begin();
        if (!oldestFirst)
            next = std::max_element(FQueue.begin(), FQueue.end(),
                                    [](const TQueued& a, const TQueued& b) { return a.Weight < b.Weight; });
        TJob job = std::move(next->Job);
        FQueue.erase(next);
        lock.unlock();
        job(tools);
        lock.lock();
    }
}

} // namespace zipcore
