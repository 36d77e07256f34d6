// The threads' lock and wake-up: a wait ends when told, a wait with a limit
// ends when the limit runs out, and readers share the lock that a writer
// holds alone.
#include "platform/uSync.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <shared_mutex>
#include <thread>

using namespace std::chrono_literals;

TEST(Sync, AWaitEndsWhenToldAndALimitedOneWhenItsTimeRunsOut)
{
    platform::TLock lock;
    platform::TSignal signal;
    bool ready = false;
    std::thread other([&] {
        std::this_thread::sleep_for(50ms);
        std::lock_guard guard(lock);
        ready = true;
        signal.notify_all();
    });
    {
        std::unique_lock held(lock);
        EXPECT_TRUE(signal.wait_for(held, 10s, [&] { return ready; }));
    }
    other.join();

    std::unique_lock held(lock);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(signal.wait_for(held, 80ms, [] { return false; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 75ms);
    EXPECT_TRUE(held.owns_lock());
}

TEST(Sync, ReadersShareTheLockAndAWriterHoldsItAlone)
{
    platform::TSharedLock lock;
    // Each try from a thread of its own: no thread takes the lock twice.
    auto tryShared = [&] {
        bool got = false;
        std::thread([&] {
            std::shared_lock reader(lock, std::try_to_lock);
            got = reader.owns_lock();
        }).join();
        return got;
    };
    auto tryAlone = [&] {
        bool got = false;
        std::thread([&] {
            std::unique_lock writer(lock, std::try_to_lock);
            got = writer.owns_lock();
        }).join();
        return got;
    };
    {
        std::shared_lock reader(lock);
        EXPECT_TRUE(tryShared());
        EXPECT_FALSE(tryAlone());
    }
    std::unique_lock writer(lock);
    EXPECT_FALSE(tryShared());
    EXPECT_FALSE(tryAlone());
}
