// A window thread that hands work to a worker: calls back into the window
// thread, its messages handled while it waits, the worker's failure.
#include "platform/uThreadCalls.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

void HandleMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

TEST(ThreadCalls, AWorkersCallsRunOnTheWindowThreadWhichKeepsAnsweringMeanwhile)
{
    platform::TThreadCalls calls;
    const DWORD windowThread = GetCurrentThreadId();
    DWORD ranOn = 0;
    int ticks = 0;
    std::atomic<bool> answered{false};
    // A window of this thread that another thread sends to during the job.
    HWND window = CreateWindowExA(0, "STATIC", "answer", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    platform::RunOnWorkerThread(
        [&] {
            char text[16] = {};
            SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
            answered = std::string(text) == "answer";
            calls.Send([&] { ranOn = GetCurrentThreadId(); });
            Sleep(150);
        },
        HandleMessages, [&] { ++ticks; }, 40);
    DestroyWindow(window);
    EXPECT_TRUE(answered);
    EXPECT_EQ(ranOn, windowThread);
    EXPECT_GE(ticks, 2) << "progress is shown while the job runs";

    // On the window thread itself a call runs at once.
    calls.Send([&] { ranOn = 0; });
    EXPECT_EQ(ranOn, 0u);
}

TEST(ThreadCalls, FailuresComeBackToTheirCaller)
{
    platform::TThreadCalls calls;
    bool sentFailed = false;
    EXPECT_THROW(platform::RunOnWorkerThread(
                     [&] {
                         try {
                             calls.Send([] { throw std::runtime_error("from the window thread"); });
                         } catch (const std::runtime_error&) {
                             sentFailed = true;
                         }
                         throw std::logic_error("from the worker");
                     },
                     HandleMessages, [] {}, 40),
                 std::logic_error);
    EXPECT_TRUE(sentFailed);
}

} // namespace

namespace {

TEST(ThreadCalls, PostedCallsRunLaterOnTheWindowThreadAndAreDroppedWithTheirTarget)
{
    const DWORD windowThread = GetCurrentThreadId();
    std::atomic<DWORD> ranOn{0};
    std::atomic<int> runs{0};
    {
        platform::TThreadCalls calls;
        std::thread worker([&] {
            // Returns at once: nobody on the window thread has looked yet.
            calls.Post([&] {
                ranOn = GetCurrentThreadId();
                ++runs;
            });
        });
        worker.join();
        EXPECT_EQ(runs, 0);
        HandleMessages();
        EXPECT_EQ(runs, 1);
        EXPECT_EQ(ranOn, windowThread);

        // A call that throws harms nobody.
        calls.Post([] { throw std::runtime_error("nobody hears this"); });
        HandleMessages();

        // One still queued when the calls go is never run.
        calls.Post([&] { ++runs; });
    }
    HandleMessages();
    EXPECT_EQ(runs, 1);
}

} // namespace
