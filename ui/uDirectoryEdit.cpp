#include "uWin.h"

#include "uDialogs.h"
#include "uDirectoryEdit.h"
#include "runtime/uSysUtils.h"

#include <shlwapi.h>

using namespace ui_detail;

TDirectoryEdit::TDirectoryEdit(TComponent* owner) : TEdit(owner) {}

TDirectoryEdit::~TDirectoryEdit() { DestroyHandle(); }

void TDirectoryEdit::InitializeWnd()
{
    TEdit::InitializeWnd();
    FButton = CreateWindowExA(0, "BUTTON", "...", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 0, 0, FHandle, nullptr,
        GetModuleHandleA(nullptr), nullptr);
    SendMessageA(FButton, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), FALSE);
    PlaceButton();
    // Offer file-system folders while the user types.
    SHAutoComplete(FHandle, SHACF_FILESYS_DIRS);
}

void TDirectoryEdit::PlaceButton()
{
    if (!FButton)
        return;
    RECT r;
    GetClientRect(FHandle, &r);
    const int w = r.bottom - r.top + 4;
    MoveWindow(FButton, r.right - w, 0, w, r.bottom - r.top, TRUE);
    SendMessageA(FHandle, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, w + 2));
}

AnsiString TDirectoryEdit::InitialFolder() const
{
    const AnsiString text = Text();
    if (text.empty())
        return FLastFolder.empty() ? AnsiString("\\") : FLastFolder;
    return DirectoryExists(text) ? text : AnsiString("\\");
}

void TDirectoryEdit::Browse()
{
    AnsiString folder = InitialFolder();
    if (!BrowseForFolder(FHandle ? GetAncestor(FHandle, GA_ROOT) : nullptr, FDialogText, folder))
        return;
    SetText(folder);
    if (DirectoryExists(folder))
        FLastFolder = folder;
}

TMessageResult TDirectoryEdit::WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    switch (msg) {
    case WM_COMMAND:
        if (FButton && reinterpret_cast<HWND>(lParam) == FButton && HIWORD(wParam) == BN_CLICKED) {
            Browse();
            return 0;
        }
        break;
    case WM_SIZE: {
        TMessageResult r = TEdit::WndProc(msg, wParam, lParam);
        PlaceButton();
        return r;
    }
    case WM_SETFONT:
        if (FButton)
            SendMessageA(FButton, WM_SETFONT, wParam, lParam);
        break;
    case WM_NCDESTROY:
        FButton = nullptr;
        break;
    }
    return TEdit::WndProc(msg, wParam, lParam);
}
