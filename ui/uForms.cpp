#include "uWin.h"

#include "uForms.h"
#include "platform/uOwner.h"
#include "runtime/uSysUtils.h"

#include <algorithm>

using namespace ui_detail;

// --- TForm --------------------------------------------------------------------

TForm::TForm(TComponent* owner) : TWinControl(owner)
{
    FVisible = false;
    SetColor(clBtnFace);
    Font()->SetName("Tahoma");
    Font()->SetHeight(-11);
    Screen->AddForm(this);
}

TForm::~TForm()
{
    Screen->RemoveForm(this);
    if (Application->MainForm() == this)
        Application->SetMainForm(nullptr);
}

namespace {
void FrameSize(const TCreateParams& p, int clientW, int clientH, int dpi, int& w, int& h)
{
    RECT r{0, 0, clientW, clientH};
    AdjustRectForDpi(r, p.Style, p.ExStyle, dpi);
    w = r.right - r.left;
    h = r.bottom - r.top;
}
} // namespace

void TForm::SetClientWidth(int width) { SetClientSize(width, FClientHeight); }

void TForm::SetClientHeight(int height) { SetClientSize(FClientWidth, height); }

void TForm::SetClientSize(int width, int height)
{
    int oldW = FClientWidth, oldH = FClientHeight;
    FClientWidth = width;
    FClientHeight = height;
    TCreateParams p;
    CreateParams(p);
    TControl::SetBounds(FLeft, FTop, p.Width, p.Height);
    ResizeChildren(oldW, oldH);
    AlignControls();
}

void TForm::GetClientSize(int& width, int& height) const
{
    width = FClientWidth;
    height = FClientHeight;
}

void TForm::CreateParams(TCreateParams& p)
{
    p.WinClassName = nullptr;
    p.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    p.ExStyle = 0;
    switch (FBorderStyle) {
    case TFormBorderStyle::bsDialog:
        p.Style |= DS_MODALFRAME;
        p.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    case TFormBorderStyle::bsSingle:
        p.Style |= WS_MINIMIZEBOX;
        break;
    case TFormBorderStyle::bsSizeable:
        p.Style |= WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
        break;
    case TFormBorderStyle::bsNone:
        p.Style &= ~(WS_CAPTION | WS_SYSMENU);
        break;
    }
    if (!FEnabled)
        p.Style |= WS_DISABLED;
    p.X = FLeft;
    p.Y = FTop;
    FrameSize(p, FClientWidth, FClientHeight, FPixelsPerInch, p.Width, p.Height);
    p.Caption = FText;
    // A secondary form stays above the form that was active when it came.
    if (Application->MainForm() != this)
        if (TForm* active = Screen->ActiveForm(); active && active != this && active->HandleAllocated())
            p.WndParent = active->WindowHandle();
}

void TForm::CreateWnd()
{
    // Laid out for the screen before any window exists, so nothing is made
    // twice; the window then says where it really is.
    ScaleForDpi(SystemDpi());
    TWinControl::CreateWnd();
}

void TForm::ChangeScale(int fromDpi, int toDpi)
{
    // The form keeps its place on the screen: only what lies inside scales.
    FDesignClient.Scale({&FClientWidth, &FClientHeight}, fromDpi, toDpi);
    Font()->SetPixelsPerInch(toDpi);
    ChangeChildrenScale(fromDpi, toDpi);
}

void TForm::ScaleForDpi(int dpi)
{
    if (dpi <= 0 || dpi == FPixelsPerInch)
        return;
    const int from = FPixelsPerInch;
    FPixelsPerInch = dpi;
    ChangeScale(from, dpi);
    TCreateParams p;
    CreateParams(p);
    FWidth = p.Width;
    FHeight = p.Height;
    AlignAll();
    DpiChanged();
    if (FHandle)
        FitWindowToClient(false);
}

void TForm::FitWindowToClient(bool centre)
{
    // The frame Wine or Windows draws may differ from the computed one: make
    // the client area exactly the designed size.
    RECT client, window;
    GetClientRect(FHandle, &client);
    GetWindowRect(FHandle, &window);
    int w = (window.right - window.left) + FClientWidth - client.right;
    int h = (window.bottom - window.top) + FClientHeight - client.bottom;
    FLeft = window.left;
    FTop = window.top;
    if (centre) {
        FLeft = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
        FTop = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    }
    FWidth = w;
    FHeight = h;
    SetWindowPos(FHandle, nullptr, FLeft, FTop, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::InitializeWnd()
{
    // A window that opened on a screen of another DPI than the system's.
    if (const int dpi = WindowDpi(FHandle); dpi != FPixelsPerInch)
        ScaleForDpi(dpi);
    FitWindowToClient(FPosition == TPosition::poScreenCenter);
    // The focus and the shortcut letters always show, whether the user
    // started with the mouse or the keyboard.
    SendMessageA(FHandle, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

void TForm::Paint(void* dc) {}

void TForm::SetActiveControl(TWinControl* control)
{
    FActiveControl = control;
    if (control && HandleAllocated() && FVisible && control->CanFocus())
        control->SetFocus();
}

bool TForm::Active() const { return FHandle && GetActiveWindow() == FHandle; }

TWinControl* TForm::FocusedControl() const
{
    TWinControl* focus = FromHandle(GetFocus());
    return focus && focus != this && ContainsControl(focus) ? focus : nullptr;
}

TForm* GetParentForm(const TControl* control)
{
    for (const TControl* c = control; c; c = c->Parent())
        if (auto* form = dynamic_cast<const TForm*>(c))
            return const_cast<TForm*>(form);
    return nullptr;
}

void TForm::ControlRemoved(TControl* control)
{
    if (FActiveControl && (FActiveControl == control ||
            (dynamic_cast<TWinControl*>(control) &&
                static_cast<TWinControl*>(control)->ContainsControl(FActiveControl))))
        FActiveControl = nullptr;
}

void TForm::SetVisible(bool visible)
{
    if (visible) {
        ShowForm();
        return;
    }
    FVisible = false;
    if (HandleAllocated())
        ShowWindow(FHandle, SW_HIDE);
}

void TForm::ShowForm()
{
    FVisible = true;
    HandleNeeded();
    ShowWindow(FHandle, SW_SHOWNORMAL);
    SetForegroundWindow(FHandle);
    if (FActiveControl && FActiveControl->CanFocus())
        FActiveControl->SetFocus();
    else if (!SelectFirst())
        ::SetFocus(FHandle);
    UpdateWindow(FHandle);
}

TModalResult TForm::ShowModal()
{
    // Other forms stay disabled while this one is up, as with any modal dialog.
    std::vector<HWND> disabled;
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TForm* f = Screen->Forms(i);
        if (f != this && f->HandleAllocated() && IsWindowEnabled(f->WindowHandle())) {
            EnableWindow(f->WindowHandle(), FALSE);
            disabled.push_back(f->WindowHandle());
        }
    }
    HWND previous = GetActiveWindow();
    FModal = true;
    FModalResult = mrNone;
    platform::TScopeGuard restore([&] {
        FModal = false;
        for (HWND h : disabled)
            if (IsWindow(h))
                EnableWindow(h, TRUE);
        SetVisible(false);
        if (previous && IsWindow(previous))
            SetActiveWindow(previous);
    });
    {
        ShowForm();
        TModalRequest request{TModalKind::MessageDialog};
        request.Caption = Caption();
        request.Owner = FHandle;
        request.Dialog = this;
        if (auto* message = dynamic_cast<TControl*>(FindComponent("Message")))
            request.Text = message->Caption();
        if (auto answer = AskModalResponder(request))
            FModalResult = *answer;
        while (FModalResult == mrNone) {
            Application->HandleMessage();
            if (Application->Terminated())
                FModalResult = mrCancel;
            else if (!IsWindowVisible(FHandle) && FModalResult == mrNone)
                FModalResult = mrCancel;
        }
    }
    return FModalResult;
}

void TForm::Close()
{
    if (FModal) {
        FModalResult = mrCancel;
        return;
    }
    TCloseAction action = TCloseAction::caHide;
    if (OnClose)
        OnClose(this, action);
    if (action == TCloseAction::caNone)
        return;
    SetVisible(false);
    if (Application->MainForm() == this)
        Application->Terminate();
}

TWinControl* TForm::FindKeyButton(unsigned short key) const
{
    std::vector<const TWinControl*> queue{this};
    for (size_t i = 0; i < queue.size(); ++i)
        for (int k = 0; k < queue[i]->ControlCount(); ++k) {
            auto* w = dynamic_cast<TWinControl*>(queue[i]->Controls(k));
            if (!w)
                continue;
            if (w->AnswersKey(key))
                return w->CanFocus() ? w : nullptr;
            queue.push_back(w);
        }
    return nullptr;
}

namespace {
// Lower case as the user's locale has it (CharLowerA on one character).
char LowerChar(char c)
{
    const auto code = static_cast<UINT_PTR>(static_cast<unsigned char>(c));
    return static_cast<char>(reinterpret_cast<UINT_PTR>(CharLowerA(reinterpret_cast<LPSTR>(code))));
}

// The character a caption marks with "&" as its shortcut, lower-cased; 0 when
// none ("&&" is an ampersand shown as such).
char ShortcutOf(const AnsiString& caption)
{
    for (size_t i = 0; i + 1 < caption.size(); ++i)
        if (caption[i] == '&') {
            if (caption[i + 1] != '&')
                return LowerChar(caption[i + 1]);
            ++i;
        }
    return 0;
}

bool ShownAndEnabled(const TWinControl* c)
{
    return c->HandleAllocated() && IsWindowVisible(c->WindowHandle()) && IsWindowEnabled(c->WindowHandle());
}
} // namespace

bool TForm::DialogChar(char key)
{
    const char wanted = LowerChar(key);
    if (!wanted)
        return false;
    std::vector<TWinControl*> queue{this};
    for (size_t i = 0; i < queue.size(); ++i)
        for (int k = 0; k < queue[i]->ControlCount(); ++k) {
            auto* c = dynamic_cast<TWinControl*>(queue[i]->Controls(k));
            if (!c)
                continue;
            queue.push_back(c);
            if (ShownAndEnabled(c) && ShortcutOf(c->Caption()) == wanted && c->Accelerate())
                return true;
        }
    return false;
}

bool TForm::DialogKey(unsigned short key, TShiftState shift)
{
    switch (key) {
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
        if (TWinControl* focused = FromHandle(GetFocus()); focused && ContainsControl(focused))
            return focused->ArrowKey(key == VK_RIGHT || key == VK_DOWN);
        return false;
    case vkTab:
        SelectNext(FActiveControl, (shift & ssShift) == 0);
        return true;
    case vkReturn:
        if (TWinControl* focused = FromHandle(GetFocus());
            focused && focused->ClickedByEnter() && ContainsControl(focused)) {
            focused->Click();
            return true;
        }
        [[fallthrough]];
    case vkEscape:
        if (TWinControl* b = FindKeyButton(key)) {
            b->Click();
            return true;
        }
        return false;
    }
    return false;
}

TMessageResult TForm::WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    switch (msg) {
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DPICHANGED: {
        // Moved to a screen of another DPI: laid out anew from the designed
        // figures, in the rectangle the system suggests.
        ScaleForDpi(HIWORD(wParam));
        if (const auto* r = reinterpret_cast<const RECT*>(lParam))
            SetWindowPos(FHandle, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                SWP_NOZORDER | SWP_NOACTIVATE);
        FitWindowToClient(false);
        RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return 0;
    }
    case WM_CHANGEUISTATE:
    case WM_UPDATEUISTATE:
        // Nothing may hide the focus or the shortcut letters again.
        if (LOWORD(wParam) == UIS_SET) {
            const WORD flags = HIWORD(wParam) & ~(UISF_HIDEFOCUS | UISF_HIDEACCEL);
            if (!flags)
                return 0;
            wParam = MAKEWPARAM(UIS_SET, flags);
        }
        break;
    case WM_ACTIVATE: {
        TMessageResult r = DefaultHandler(msg, wParam, lParam);
        if (LOWORD(wParam) != WA_INACTIVE) {
            Screen->FormActivated(this);
            if (FActiveControl && FActiveControl->CanFocus())
                ::SetFocus(FActiveControl->WindowHandle());
        }
        return r;
    }
    case WM_DEVICECHANGE: {
        // Only top-level windows hear of drives coming and going; pass it on.
        std::pair<WPARAM, LPARAM> message(wParam, lParam);
        EnumChildWindows(FHandle, [](HWND child, LPARAM data) -> BOOL {
            auto* m = reinterpret_cast<const std::pair<WPARAM, LPARAM>*>(data);
            SendMessageA(child, WM_DEVICECHANGE, m->first, m->second);
            return TRUE;
        }, reinterpret_cast<LPARAM>(&message));
        return TRUE;
    }
    }
    return TWinControl::WndProc(msg, wParam, lParam);
}
