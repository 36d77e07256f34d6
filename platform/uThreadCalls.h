#pragma once
// A window thread that hands long work to a worker and stays answerable: the
// worker reaches back into the window thread through TThreadCalls, and the
// window thread waits for the worker and for its own messages together.
#include <functional>
#include <memory>

namespace platform {

// Calls into the thread that made this object, from any thread, through a
// hidden message-only window: every message loop of that thread (its own,
// a modal dialog's) runs them as they come.
class TThreadCalls {
public:
    // On the thread the calls are for.
    TThreadCalls();
    ~TThreadCalls();
    TThreadCalls(const TThreadCalls&) = delete;
    TThreadCalls& operator=(const TThreadCalls&) = delete;

    // Runs `call` on the owning thread and returns once it has; at once when
    // already there. Rethrows what the call threw.
    void Send(const std::function<void()>& call) const;
    // Queues `call` for the owning thread and returns at once; a call still
    // queued when this object goes is dropped.
    void Post(std::function<void()> call) const;

private:
public:
    struct TState;

private:
    std::unique_ptr<TState> FState;
};

// Runs `job` on a new thread and returns when it has ended, rethrowing what
// it threw. Meanwhile this thread waits for the job and for its own messages
// at once, calls `handleMessages` as soon as any message arrives, and `tick`
// every `tickMs` (to show the job's progress: the job need not wake it).
void RunOnWorkerThread(const std::function<void()>& job, const std::function<void()>& handleMessages,
                       const std::function<void()>& tick, unsigned tickMs);

} // namespace platform
