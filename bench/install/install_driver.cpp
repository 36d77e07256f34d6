// Times the wizard's program installation step as a person would see it: from
// the click on Next on the proxy page until the data page shows. Starts
// Setup.exe from KORVANT_BINARY_DIR\bin, prints the seconds on standard output
// and ends the wizard. Exit code 1 when the step fails or does not finish.
#include "uWizardDriver.h"

#include "platform/uWinOwners.h"

#include <cstdio>
#include <stdexcept>
#include <exception>

using namespace e2e;

namespace {

const std::string Next = "Volgende >";
constexpr auto StepTimeout = 30min;

// What is left of the wizard after the measurement is of no interest: end it
// at once instead of answering its Cancel confirmation.
void EndWizard(const TWizard& w)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(w.Form(), &pid);
    if (const platform::win::TKernelHandle process{OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)}) {
        TerminateProcess(process.Get(), 0);
        WaitForSingleObject(process.Get(), 10000);
    }
}

int Run()
{
    TWizard w;
    w.ClickButton(Next);
    if (!WaitUntil([&] { return w.Find("Button", Next) != nullptr; }, 30s))
        throw std::runtime_error("the wizard did not leave its first page");
    w.ClickButton(Next);
    w.ClickButton(Next);
    if (!WaitUntil([&] { return w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y) != nullptr; }, 30s))
        throw std::runtime_error("the proxy page did not show:\n" + w.Describe());

    const auto start = std::chrono::steady_clock::now();
    w.ClickButton(Next);
    HWND errorBox = nullptr;
    bool done = WaitUntil(
        [&] {
            if (w.LabelVisible(HeadingData) || w.LabelVisible(HeadingAbort))
                return true;
            // The error box comes before the Abort page.
            errorBox = w.WaitForDialog("Korvant Setup", 0ms);
            return errorBox != nullptr;
        },
        StepTimeout);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    int status = 0;
    if (!done) {
        std::fprintf(stderr, "the step did not finish within %d minutes\n", int(StepTimeout.count()));
        status = 1;
    } else if (errorBox || !w.LabelVisible(HeadingData)) {
        std::fprintf(stderr, "the step failed: %s\n", errorBox ? w.DialogMessage(errorBox).c_str() : HeadingAbort.c_str());
        status = 1;
    } else {
        std::printf("%.3f\n", elapsed.count());
    }
    std::fflush(stdout);
    EndWizard(w);
    return status;
}

} // namespace

int main()
{
    try {
        return Run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "install_driver: %s\n", error.what());
        return 1;
    }
}
