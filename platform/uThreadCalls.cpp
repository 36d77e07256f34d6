#include "uThreadCalls.h"

#include "uHandle.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <process.h>
#include <utility>

namespace platform {

namespace {

constexpr UINT WM_SENTCALL = WM_APP + 2;
constexpr UINT WM_POSTEDCALL = WM_APP + 3;
constexpr const wchar_t* CallWindowClass = L"KorvantThreadCalls";

struct TSentCall {
    const std::function<void()>* Call;
    std::exception_ptr Failure;
};

} // namespace

struct TThreadCalls::TState {
    DWORD ThreadId = ::GetCurrentThreadId();
    HWND Window = nullptr;
};

namespace {

LRESULT CALLBACK CallWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SENTCALL) {
        auto* sent = reinterpret_cast<TSentCall*>(lParam);
        try {
            (*sent->Call)();
        } catch (...) {
            // Nothing may unwind through the system's dispatch.
            sent->Failure = std::current_exception();
        }
        return 0;
    }
    if (message == WM_POSTEDCALL) {
        std::unique_ptr<std::function<void()>> call(reinterpret_cast<std::function<void()>*>(lParam));
        try {
            (*call)();
        } catch (...) {
            // A posted call has nobody to hear of its failure.
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterCallWindowClass()
{
    static const bool registered = [] {
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = CallWindowProc;
        cls.hInstance = ::GetModuleHandleW(nullptr);
        cls.lpszClassName = CallWindowClass;
        return ::RegisterClassExW(&cls) != 0;
    }();
    (void)registered;
}

} // namespace

TThreadCalls::TThreadCalls() : FState(std::make_unique<TState>())
{
    RegisterCallWindowClass();
    FState->Window = ::CreateWindowExW(0, CallWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
}

TThreadCalls::~TThreadCalls()
{
    if (!FState->Window)
        return;
    // Calls still queued are dropped, not run: what they would touch may be gone.
    MSG message;
    while (::PeekMessageW(&message, FState->Window, WM_POSTEDCALL, WM_POSTEDCALL, PM_REMOVE))
        delete reinterpret_cast<std::function<void()>*>(message.lParam);
    ::DestroyWindow(FState->Window);
}

void TThreadCalls::Send(const std::function<void()>& call) const
{
    if (::GetCurrentThreadId() == FState->ThreadId || !FState->Window) {
        call();
        return;
    }
    TSentCall sent{&call, nullptr};
    ::SendMessageW(FState->Window, WM_SENTCALL, 0, reinterpret_cast<LPARAM>(&sent));
    if (sent.Failure)
        std::rethrow_exception(sent.Failure);
}

void TThreadCalls::Post(std::function<void()> call) const
{
    if (!FState->Window)
        return;
    auto posted = std::make_unique<std::function<void()>>(std::move(call));
    if (::PostMessageW(FState->Window, WM_POSTEDCALL, 0, reinterpret_cast<LPARAM>(posted.get())))
        posted.release();
}

namespace {

struct TWorkerJob {
    const std::function<void()>* Job;
    std::exception_ptr Failure;
};

unsigned __stdcall WorkerMain(void* parameter)
{
    auto* work = static_cast<TWorkerJob*>(parameter);
    try {
        (*work->Job)();
    } catch (...) {
        work->Failure = std::current_exception();
    }
    return 0;
}

} // namespace

void RunOnWorkerThread(const std::function<void()>& job, const std::function<void()>& handleMessages,
                       const std::function<void()>& tick, unsigned tickMs)
{
    TWorkerJob work{&job, nullptr};
    // _beginthreadex, not CreateThread: the job uses the C runtime.
    TOwnedHandle thread(reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, WorkerMain, &work, 0, nullptr)));
    if (!thread) {
        // No thread to be had: the job runs here, as it would without one.
        job();
        return;
    }
    HANDLE handle = thread.Get();
    // When the processors are busy, the window thread's answers go first:
    // it sleeps but for them, the job works all the time.
    ::SetThreadPriority(handle, THREAD_PRIORITY_BELOW_NORMAL);
    const int ownPriority = ::GetThreadPriority(::GetCurrentThread());
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
    ULONGLONG nextTick = ::GetTickCount64() + tickMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= nextTick) {
            tick();
            nextTick = now + tickMs;
        }
        const DWORD wait = static_cast<DWORD>(nextTick - std::min(now, nextTick));
        const DWORD woke = ::MsgWaitForMultipleObjectsEx(1, &handle, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0)
            break;
        if (woke == WAIT_FAILED) {
            ::WaitForSingleObject(handle, INFINITE);
            break;
        }
        if (woke != WAIT_TIMEOUT) {
            try {
                handleMessages();
            } catch (...) {
                // Message handlers report their own failures; this wait goes on.
            }
        }
    }
    ::SetThreadPriority(::GetCurrentThread(), ownPriority);
    if (work.Failure)
        std::rethrow_exception(work.Failure);
}

} // namespace platform
