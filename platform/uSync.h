#pragma once
// A lock and a wake-up for threads that hand work to each other many times a
// second (an extraction's workers, a download's hashing thread). On Windows
// they are the system's slim reader/writer lock and condition variable,
// which wait on the address itself: no kernel object, no handle, nothing to
// create. The C++ library of this toolchain builds its own on semaphores
// and events, one system call for every wake-up. Elsewhere they are the
// standard ones. They work with std::lock_guard and std::unique_lock (and
// TSharedLock with std::shared_lock); the product's threads use these, not
// the standard library's mutexes and condition variable.
#include <chrono>
#include <mutex>

#ifndef _WIN32
#include <condition_variable>
#include <shared_mutex>
#endif

namespace platform {

#ifdef _WIN32

class TLock {
public:
    constexpr TLock() = default;
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

    void lock();
    bool try_lock();
    void unlock();
    // Shared holders (readers), for TSharedLock.
    void lock_shared();
    bool try_lock_shared();
    void unlock_shared();

private:
    friend class TSignal;
    void* FState = nullptr; // an SRWLOCK, which is one pointer, unlocked at zero
};

class TSignal {
public:
    constexpr TSignal() = default;
    TSignal(const TSignal&) = delete;
    TSignal& operator=(const TSignal&) = delete;

    void notify_one();
    void notify_all();

    template <class Ready> void wait(std::unique_lock<TLock>& lock, Ready ready)
    {
        while (!ready())
            Await(*lock.mutex(), kForever);
    }

    // True when `ready` holds, false when the time ran out first.
    template <class Rep, class Period, class Ready>
    bool wait_for(std::unique_lock<TLock>& lock, std::chrono::duration<Rep, Period> limit, Ready ready)
    {
        using namespace std::chrono;
        const auto end = steady_clock::now() + ceil<milliseconds>(limit);
        while (!ready()) {
            const auto left = duration_cast<milliseconds>(end - steady_clock::now()).count();
            if (left <= 0)
                return ready();
            Await(*lock.mutex(), left < kForever ? static_cast<unsigned long>(left) : kForever - 1);
        }
        return true;
    }

private:
    static constexpr unsigned long kForever = 0xFFFFFFFFul; // INFINITE
    // Releases `lock`, waits for a wake-up or `ms`, and takes it again.
    void Await(TLock& lock, unsigned long ms);
    void* FState = nullptr; // a CONDITION_VARIABLE, which is one pointer
};

// Many readers or one writer: the same slim lock.
using TSharedLock = TLock;

#else

using TLock = std::mutex;
using TSharedLock = std::shared_mutex;
using TSignal = std::condition_variable;

#endif

} // namespace platform
