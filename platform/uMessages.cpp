#include "uMessages.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace platform {

namespace {
// Static initialisation runs on the process's first thread.
const DWORD gMainThreadId = ::GetCurrentThreadId();
int gWaitDepth = 0;
HCURSOR gSavedCursor = nullptr;
} // namespace

bool IsMainThread() { return ::GetCurrentThreadId() == gMainThreadId; }

void ProcessMessages()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave the quit for the application's own loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

std::uint64_t TickCount() { return ::GetTickCount64(); }

void* ActiveWindow() { return ::GetActiveWindow(); }

void BeginWaitCursor()
{
    HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    if (gWaitDepth++ == 0)
        gSavedCursor = previous;
}

void EndWaitCursor()
{
    if (gWaitDepth > 0 && --gWaitDepth == 0)
        ::SetCursor(gSavedCursor ? gSavedCursor : ::LoadCursorA(nullptr, IDC_ARROW));
}

void ShowMessageBox(void* owner, const std::string& caption, const std::string& text, TBoxKind kind)
{
    UINT icon = kind == TBoxKind::Error ? MB_ICONERROR : kind == TBoxKind::Warning ? MB_ICONWARNING : MB_ICONINFORMATION;
    ::MessageBoxA(static_cast<HWND>(owner), text.c_str(), caption.c_str(), MB_OK | icon);
}

namespace {

struct TPasswordState {
    std::string Prompt;
    std::string Value;
    unsigned MaxLength;
};

constexpr WORD kPromptId = 100, kEditId = 101;

INT_PTR HandlePasswordMessage(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<TPasswordState*>(::GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        state = reinterpret_cast<TPasswordState*>(lParam);
        ::SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        ::SetDlgItemTextA(dlg, kPromptId, state->Prompt.c_str());
        ::SendDlgItemMessageA(dlg, kEditId, EM_LIMITTEXT, state->MaxLength, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            std::vector<char> buffer(state->MaxLength + 1, '\0');
            ::GetDlgItemTextA(dlg, kEditId, buffer.data(), static_cast<int>(buffer.size()));
            state->Value = buffer.data();
            ::EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// No exception may unwind through the dialog manager: one that would ends
// the dialog as if cancelled.
INT_PTR CALLBACK PasswordProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    try {
        return HandlePasswordMessage(dlg, msg, wParam, lParam);
    } catch (...) {
        ::EndDialog(dlg, IDCANCEL);
        return TRUE;
    }
}

// Builds a dialog template in memory: no resource file needed.
class TTemplate {
public:
    void Align() { while (FData.size() % 4) FData.push_back(0); }
    void Word(WORD w) { Bytes(&w, 2); }
    void Dword(DWORD d) { Bytes(&d, 4); }
    void Text(const wchar_t* s) { Bytes(s, (wcslen(s) + 1) * 2); }
    void Bytes(const void* p, size_t n)
    {
        auto b = static_cast<const unsigned char*>(p);
        FData.insert(FData.end(), b, b + n);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls, const wchar_t* text)
    {
        Align();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Word(static_cast<WORD>(x)), Word(static_cast<WORD>(y)), Word(static_cast<WORD>(cx)), Word(static_cast<WORD>(cy));
        Word(id);
        Word(0xFFFF), Word(cls);
        Text(text);
        Word(0);
    }
    std::vector<unsigned char> FData;
};

} // namespace

bool InputPassword(void* owner, const std::string& caption, const std::string& prompt, std::string& value,
                   unsigned maxLength)
{
    TTemplate t;
    t.Dword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    t.Dword(0);
    t.Word(4);
    t.Word(0), t.Word(0), t.Word(200), t.Word(70);
    t.Word(0), t.Word(0);
    std::wstring wcaption(caption.begin(), caption.end());
    t.Text(wcaption.c_str());
    t.Word(8);
    t.Text(L"MS Shell Dlg");
    t.Item(SS_LEFT, 7, 7, 186, 10, kPromptId, 0x0082, L"");
    t.Item(ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 20, 186, 13, kEditId, 0x0081, L"");
    t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 89, 48, 50, 14, IDOK, 0x0080, L"OK");
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, 143, 48, 50, 14, IDCANCEL, 0x0080, L"Cancel");
    TPasswordState state{prompt, {}, maxLength};
    INT_PTR r = ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr),
                                          reinterpret_cast<LPCDLGTEMPLATEA>(t.FData.data()),
                                          static_cast<HWND>(owner), PasswordProc, reinterpret_cast<LPARAM>(&state));
    if (r != IDOK)
        return false;
    value = state.Value;
    return true;
}

} // namespace platform
