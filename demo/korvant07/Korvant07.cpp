// Stand-in for the installed KORVANT program, for demonstrations and tests of
// the wizard. With an action argument it creates that database's files in the
// folder given, and refuses (exit code 4, a line in KORVANT07.LOG) when the
// database is there already; without arguments it shows the configuration it
// finds.
#include "platform/uWinOwners.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using TFile = platform::win::TKernelHandle;

std::string ExeFolder()
{
    char path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\') + 1);
}

bool WriteTextFile(const std::string& path, const std::string& text, bool append)
{
    const TFile h(CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        return false;
    DWORD done = 0;
    const BOOL ok = WriteFile(h.Get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    return ok && done == text.size();
}

std::string ReadTextFile(const std::string& path)
{
    const TFile h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        return "(not found)\r\n";
    std::string text;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h.Get(), buffer, sizeof buffer, &n, nullptr) && n > 0)
        text.append(buffer, n);
    return text;
}

// The Windows rules for splitting a command line: quotes group, backslashes
// before a quote escape it.
std::vector<std::string> SplitCommandLine(const char* line)
{
    std::vector<std::string> args;
    const char* p = line;
    while (*p) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            break;
        std::string arg;
        bool quoted = false;
        while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '"') {
                quoted = !quoted;
                ++p;
            } else {
                arg += *p++;
            }
        }
        args.push_back(arg);
    }
    return args;
}

int CreateDatabase(const std::string& action, std::string folder)
{
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    const char* file = nullptr;
    if (action == "/action=CreateAdministratieDB")
        file = "ADMINISTRATIE.DB";
    else if (action == "/action=CreateMessagesDB")
        file = "MESSAGES.DB";
    if (!file || folder.empty())
        return 2;
    // A real database takes a while; tests of a wizard waiting for it set
    // how long, in milliseconds.
    char delay[16] = "";
    if (GetEnvironmentVariableA("KORVANT07_DEMO_DELAY_MS", delay, sizeof delay) > 0)
        Sleep(static_cast<DWORD>(strtoul(delay, nullptr, 10)));
    CreateDirectoryA(folder.c_str(), nullptr);
    // A database that exists holds a firm's books: it is never created
    // over. The refusal is logged, so a test sees that it was asked to.
    const TFile h(
        CreateFileA((folder + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) {
        if (GetLastError() != ERROR_FILE_EXISTS)
            return 3;
        WriteTextFile(ExeFolder() + "KORVANT07.LOG", "refused: " + folder + file + " exists\r\n", true);
        return 4;
    }
    const std::string text = "KORVANT demo database\r\n";
    DWORD done = 0;
    const BOOL ok = WriteFile(h.Get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    return ok && done == text.size() ? 0 : 3;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SIZE) {
        HWND edit = GetWindow(window, GW_CHILD);
        MoveWindow(edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int ShowConfiguration(HINSTANCE instance)
{
    std::string folder = ExeFolder();
    std::string text = "KORVANT 07 (demo)\r\n\r\n" + folder + "CONFIG07.INI\r\n" + ReadTextFile(folder + "CONFIG07.INI") +
                       "\r\n" + folder + "000\\CONFIG07.INI\r\n" + ReadTextFile(folder + "000\\CONFIG07.INI");

    WNDCLASSA cls{};
    cls.lpfnWndProc = WindowProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    cls.lpszClassName = "Korvant07Demo";
    RegisterClassA(&cls);
    HWND window = CreateWindowA("Korvant07Demo", "KORVANT 07", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                                480, nullptr, nullptr, instance, nullptr);
    HWND edit = CreateWindowA("EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0,
                              0, 640, 480, window, nullptr, instance, nullptr);
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), TRUE);
    ShowWindow(window, SW_SHOWNORMAL);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const char* line = GetCommandLineA();
    // Every start is logged beside the program, so a test can see the exact
    // command lines the wizard used.
    WriteTextFile(ExeFolder() + "KORVANT07.LOG", std::string(line) + "\r\n", true);

    std::vector<std::string> args = SplitCommandLine(line);
    if (args.size() >= 3)
        return CreateDatabase(args[1], args[2]);
    if (args.size() == 2)
        return 2;
    return ShowConfiguration(instance);
}
