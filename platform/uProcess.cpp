#include "uProcess.h"

#include "uHandle.h"

#include <windows.h>

namespace platform {

int RunAndWait(const std::string& commandLine, std::uint16_t showWindow, const std::function<void()>& whileWaiting)
{
    // CreateProcessA may write into the command line, so it gets its own copy,
    // as long as the line is.
    std::string line = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showWindow;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS,
                          nullptr, nullptr, &startup, &info))
        return -1;
    TOwnedHandle process(info.hProcess);
    TOwnedHandle thread(info.hThread);
    if (!whileWaiting) {
        ::WaitForSingleObject(process.Get(), INFINITE);
    } else {
        HANDLE handle = process.Get();
        for (;;) {
            const DWORD woke = ::MsgWaitForMultipleObjects(1, &handle, FALSE, 250, QS_ALLINPUT);
            if (woke == WAIT_OBJECT_0)
                break;
            if (woke == WAIT_FAILED) {
                ::WaitForSingleObject(handle, INFINITE);
                break;
            }
            whileWaiting();
        }
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    return static_cast<int>(code);
}

} // namespace platform
