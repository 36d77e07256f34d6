#include "uWizardDriver.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {

std::string ToWindowsPath(const std::string& unixPath)
{
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

std::string BinaryDir()
{
    const char* dir = std::getenv("KORVANT_BINARY_DIR");
    if (!dir)
        throw std::runtime_error("KORVANT_BINARY_DIR is not set");
    return ToWindowsPath(dir);
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(50ms);
    }
}

std::string WindowText(HWND window)
{
    // GetWindowText would read only the caption stored at creation for a
    // window of another process; the edit and combo texts need WM_GETTEXT.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return {};
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    text.resize(copied);
    return text;
}

std::string ClassOf(HWND window)
{
    char name[256];
    int n = GetClassNameA(window, name, sizeof name);
    return std::string(name, static_cast<size_t>(n));
}

namespace {

struct TFindTopLevel {
    DWORD ProcessId;
    std::string Caption;
    HWND Found = nullptr;
};

BOOL CALLBACK FindTopLevelProc(HWND window, LPARAM param)
{
    auto* find = reinterpret_cast<TFindTopLevel*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == find->ProcessId && IsWindowVisible(window) && WindowText(window) == find->Caption) {
        find->Found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevel(DWORD processId, const std::string& caption)
{
    TFindTopLevel find{processId, caption};
    EnumWindows(FindTopLevelProc, reinterpret_cast<LPARAM>(&find));
    return find.Found;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> result;
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&result));
    return result;
}

} // namespace

TWizard::TWizard(const std::string& program)
{
    std::string exe = BinaryDir() + "\\bin\\" + program;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &FProcess))
        throw std::runtime_error("cannot start " + exe);
    WaitForInputIdle(FProcess.hProcess, 30000);
    WaitUntil([&] { return (FForm = FindTopLevel(FProcess.dwProcessId, "KORVANT - Setup")) != nullptr; }, 60s);
    if (!FForm)
        throw std::runtime_error("the wizard window did not appear");
}

TWizard::~TWizard()
{
    if (Running()) {
        PostMessageA(FForm, WM_CLOSE, 0, 0);
        // Ended for good before the next test starts: a wizard still
        // working would write into that test's folders.
        if (!WaitForExit(10s)) {
            TerminateProcess(FProcess.hProcess, 1);
            WaitForSingleObject(FProcess.hProcess, 30000);
        }
    }
    CloseHandle(FProcess.hProcess);
    CloseHandle(FProcess.hThread);
}

bool TWizard::Running() const { return ExitCode() == STILL_ACTIVE; }

DWORD TWizard::ExitCode() const
{
    DWORD code = 0;
    GetExitCodeProcess(FProcess.hProcess, &code);
    return code;
}

bool TWizard::WaitForExit(std::chrono::milliseconds timeout)
{
    return WaitForSingleObject(FProcess.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

HWND TWizard::Find(const char* windowClass, const std::string& text) const
{
    for (HWND w : Children(FForm))
        if (IsWindowVisible(w) && _stricmp(ClassOf(w).c_str(), windowClass) == 0 && WindowText(w) == text)
            return w;
    return nullptr;
}

HWND TWizard::FindAt(const char* windowClass, int x, int y) const
{
    for (HWND w : Children(FForm)) {
        if (!IsWindowVisible(w) || _stricmp(ClassOf(w).c_str(), windowClass) != 0)
            continue;
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(HWND_DESKTOP, FForm, reinterpret_cast<POINT*>(&r), 2);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return w;
    }
    return nullptr;
}

std::string TWizard::Describe() const
{
    std::string text;
    for (HWND w : Children(FForm)) {
        if (!IsWindowVisible(w))
            continue;
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(HWND_DESKTOP, FForm, reinterpret_cast<POINT*>(&r), 2);
        text += ClassOf(w) + " '" + WindowText(w) + "' (" + std::to_string(r.left) + "," + std::to_string(r.top) +
                ")-(" + std::to_string(r.right) + "," + std::to_string(r.bottom) + ")\n";
    }
    return text;
}

std::vector<std::string> TWizard::VisibleLabels() const
{
    std::vector<std::string> labels;
    for (HWND w : Children(FForm))
        if (IsWindowVisible(w) && _stricmp(ClassOf(w).c_str(), "Static") == 0)
            labels.push_back(WindowText(w));
    return labels;
}

std::vector<std::string> TWizard::LabelCaptions() const
{
    std::vector<std::string> labels;
    for (HWND w : Children(FForm)) {
        if (!IsWindowVisible(w) || _stricmp(ClassOf(w).c_str(), "Static") != 0)
            continue;
        char text[512];
        labels.push_back(std::string(text, std::max(0, GetWindowTextA(w, text, sizeof text))));
    }
    return labels;
}

bool TWizard::LabelVisible(const std::string& text) const
{
    for (const std::string& label : VisibleLabels())
        if (label == text)
            return true;
    return false;
}

bool TWizard::WaitForLabel(const std::string& text, std::chrono::milliseconds timeout) const
{
    return WaitUntil([&] { return LabelVisible(text); }, timeout);
}

void TWizard::Click(HWND control) const { PostMessageA(control, BM_CLICK, 0, 0); }

void TWizard::ClickButton(const std::string& caption) const
{
    HWND button = Find("Button", caption);
    if (!button)
        throw std::runtime_error("no button " + caption);
    Click(button);
}

void TWizard::SetText(HWND control, const std::string& text) const
{
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TWizard::SelectComboItem(HWND combo, int index) const
{
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // A person's choice also tells the parent, which is what the form reads.
    SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

HWND TWizard::TopmostAt(HWND control) const
{
    RECT r;
    GetWindowRect(control, &r);
    POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    HWND parent = GetParent(control);
    ScreenToClient(parent, &centre);
    return ChildWindowFromPointEx(parent, centre, CWP_SKIPINVISIBLE);
}

HWND TWizard::WaitForDialog(const std::string& caption, std::chrono::milliseconds timeout) const
{
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindTopLevel(FProcess.dwProcessId, caption)) != nullptr; }, timeout);
    return dialog;
}

std::string TWizard::DialogMessage(HWND dialog) const
{
    // The message is the longest static text; the icon is a static without text.
    std::string message;
    for (HWND w : Children(dialog))
        if (_stricmp(ClassOf(w).c_str(), "Static") == 0 && WindowText(w).size() > message.size())
            message = WindowText(w);
    return message;
}

void TWizard::PressDialogButton(HWND dialog, const std::string& caption) const
{
    for (HWND w : Children(dialog))
        if (_stricmp(ClassOf(w).c_str(), "Button") == 0 && WindowText(w) == caption) {
            PostMessageA(w, BM_CLICK, 0, 0);
            return;
        }
    throw std::runtime_error("no dialog button " + caption);
}

} // namespace e2e
