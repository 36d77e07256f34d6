#include "uWorkers.h"

#include <new>
#include <system_error>

namespace zipcore {

TWorkers::TWorkers(unsigned count, std::uint64_t largest)
{
    for (unsigned i = 0; i < count; ++i) {
        try {
            FTools.push_back(std::make_unique<TChainTools>(largest));
            FThreads.emplace_back([this, &tools = *FTools.back()] { Loop(tools); });
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

void TWorkers::Post(TJob job)
{
    {
        std::lock_guard lock(FLock);
        FQueue.push_back(std::move(job));
    }
    FWake.notify_one();
}

void TWorkers::Loop(TChainTools& tools)
{
    std::unique_lock lock(FLock);
    for (;;) {
        FWake.wait(lock, [this] { return FQuit || !FQueue.empty(); });
        if (FQuit)
            return;
        TJob job = std::move(FQueue.front());
        FQueue.pop_front();
        lock.unlock();
        job(tools);
        lock.lock();
    }
}

} // namespace zipcore
