#pragma once
// One worker thread that runs one job at a time for its owner: the owner
// posts a job, goes on with its own work, and waits for the job before it
// uses the job's results or posts the next. Where no thread can be made the
// job runs at once on the caller's thread, so callers need no second path.
#include "uSync.h"

#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace platform {

class TJobThread {
public:
    TJobThread() = default;
    TJobThread(const TJobThread&) = delete;
    TJobThread& operator=(const TJobThread&) = delete;
    ~TJobThread()
    {
        if (!FThread.joinable())
            return;
        {
            std::lock_guard lock(FLock);
            FQuit = true;
        }
        FChanged.notify_all();
        FThread.join();
    }

    // Only after the job before was waited for.
    void Post(std::function<void()> job)
    {
        if (!FThread.joinable() && !FNoThread) {
            try {
                FThread = std::thread([this] { Loop(); });
            } catch (const std::system_error&) {
                FNoThread = true;
            }
        }
        if (FNoThread) {
            try {
                job();
            } catch (...) {
                FFailure = std::current_exception();
            }
            return;
        }
        {
            std::lock_guard lock(FLock);
            FJob = std::move(job);
        }
        FChanged.notify_all();
    }

    // Returns once the posted job (if any) has ended; rethrows what it threw.
    void Wait()
    {
        std::unique_lock lock(FLock);
        FChanged.wait(lock, [this] { return !FJob; });
        if (FFailure)
            std::rethrow_exception(std::exchange(FFailure, nullptr));
    }

private:
    void Loop()
    {
        std::unique_lock lock(FLock);
        for (;;) {
            FChanged.wait(lock, [this] { return FQuit || FJob; });
            if (FQuit)
                return;
            lock.unlock();
            std::exception_ptr failure;
            try {
                FJob();
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            FFailure = failure;
            FJob = nullptr;
            FChanged.notify_all();
        }
    }

    platform::TLock FLock;
    platform::TSignal FChanged;
    std::function<void()> FJob; // set while a job is posted and not ended
    std::exception_ptr FFailure;
    bool FQuit = false;
    bool FNoThread = false;
    std::thread FThread;
};

} // namespace platform
