// TWinControl: its window's life (creation, subclassing, destruction) and
// its messages.
#include "uWin.h"

#include "runtime/uSysUtils.h"

#include <algorithm>

using namespace ui_detail;

// --- TWinControl --------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl()
{
    LinkLabel(FNameLabel, nullptr);
    LinkLabel(this, nullptr);
    DestroyHandle();
    // Child controls go with their parent, whoever owns them.
    while (!FControls.empty())
        delete FControls.back();
    if (Parent())
        Parent()->RemoveControl(this);
}

TWinControl* TWinControl::FromHandle(TWindowHandle window) { return Find(window); }

void TWinControl::LinkLabel(TWinControl* label, TWinControl* control)
{
    if (label && label->FLabelFor)
        label->FLabelFor->FNameLabel = nullptr;
    if (control && control->FNameLabel)
        control->FNameLabel->FLabelFor = nullptr;
    if (label)
        label->FLabelFor = control;
    if (control)
        control->FNameLabel = label;
}

AnsiString TWinControl::AccessibleName() const
{
    if (!FNameLabel)
        return AnsiString();
    return ShownText(FNameLabel->Caption());
}

bool TWinControl::ContainsControl(const TControl* control) const
{
    for (const TControl* c = control; c; c = c->Parent())
        if (c == this)
            return true;
    return false;
}

void TWinControl::InsertControl(TControl* control)
{
    control->FParent = this;
    FControls.push_back(control);
    if (auto* win = dynamic_cast<TWinControl*>(control); win && win->FInTabOrder)
        FTabList.push_back(win);
    control->ParentFontChanged();
    control->ParentColorChanged();
    if (control->FAlign != TAlign::alNone)
        AlignControls();
    if (HandleAllocated())
        if (auto* win = dynamic_cast<TWinControl*>(control)) {
            win->DestroyHandle();
            win->CreateWnd();
            win->CreateChildHandles();
        }
}

void TWinControl::RemoveControl(TControl* control)
{
    if (auto* win = dynamic_cast<TWinControl*>(control)) {
        if (win->HandleAllocated())
            win->DestroyHandle();
        FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), win), FTabList.end());
    }
    FControls.erase(std::remove(FControls.begin(), FControls.end(), control), FControls.end());
    if (TWinControl* root = FocusRoot())
        root->ControlRemoved(control);
    control->FParent = nullptr;
    if (control->FAlign != TAlign::alNone)
        AlignControls();
}

TWindowHandle TWinControl::Handle()
{
    if (!FHandle) {
        if (Parent()) {
            Parent()->HandleNeeded();
            if (FHandle)
                return FHandle;
        }
        CreateWnd();
        CreateChildHandles();
    }
    return FHandle;
}

void TWinControl::CreateParams(TCreateParams& p)
{
    p.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (FVisible)
        p.Style |= WS_VISIBLE;
    if (!FEnabled)
        p.Style |= WS_DISABLED;
    if (FTabStop)
        p.Style |= WS_TABSTOP;
    p.X = FLeft;
    p.Y = FTop;
    p.Width = FWidth;
    p.Height = FHeight + WindowExtraHeight();
    p.Caption = FText;
}

void TWinControl::CreateWnd()
{
    EnsureClasses();
    TCreateParams p;
    CreateParams(p);
    HWND parent = Parent() ? Parent()->FHandle : p.WndParent;
    const bool own = p.WinClassName == nullptr;
    static int nextId = 100;
    HMENU id = (p.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++)) : nullptr;
    TWinControl* outer = Creating();
    Creating() = this;
    HWND hwnd = CreateWindowExA(p.ExStyle, own ? FrameworkClass : p.WinClassName, p.Caption.c_str(), p.Style,
        p.X, p.Y, p.Width, p.Height, parent, id, GetModuleHandleA(nullptr), own ? this : nullptr);
    Creating() = outer;
    if (!hwnd)
        throw EOSError(Format("Error creating window of %s: %s", ClassName().c_str(),
            SysErrorMessage(GetLastError()).c_str()));
    FHandle = hwnd;
    if (!own) {
        Attach(hwnd, this);
        FDefWndProc = reinterpret_cast<void*>(
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc())));
    }
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), FALSE);
    UpdateWindowZOrder();
    InitializeWnd();
}

void TWinControl::CreateChildHandles()
{
    for (TControl* c : std::vector<TControl*>(FControls))
        if (auto* win = dynamic_cast<TWinControl*>(c); win && !win->FHandle) {
            win->CreateWnd();
            win->CreateChildHandles();
        }
}

void TWinControl::SaveWndStates()
{
    for (TControl* c : FControls)
        if (auto* win = dynamic_cast<TWinControl*>(c); win && win->FHandle)
            win->SaveWndStates();
    SaveWndState();
}

void TWinControl::DestroyHandle()
{
    if (!FHandle)
        return;
    SaveWndStates();
    // One call takes the child windows along; each forgets its handle in
    // WM_NCDESTROY. Hidden first, so nothing repaints on the way.
    ShowWindow(FHandle, SW_HIDE);
    DestroyWindow(FHandle);
    FHandle = nullptr;
}

TMessageResult TWinControl::DefaultHandler(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (FDefWndProc)
        return CallWindowProcA(reinterpret_cast<WNDPROC>(FDefWndProc), FHandle, msg, wParam, lParam);
    return DefWindowProcA(FHandle, msg, wParam, lParam);
}

TMessageResult TWinControl::Perform(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    return SendMessageA(Handle(), msg, wParam, lParam);
}

void TWinControl::UpdateWindowZOrder()
{
    if (!FHandle || !Parent())
        return;
    // Later siblings lie above: place this window just below the next one.
    auto& list = Parent()->FControls;
    HWND above = HWND_TOP;
    for (auto it = std::find(list.begin(), list.end(), this); it != list.end(); ++it)
        if (auto* win = dynamic_cast<TWinControl*>(*it); win && win != this && win->FHandle) {
            above = win->FHandle;
            break;
        }
    SetWindowPos(FHandle, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void* TWinControl::BackgroundBrush()
{
    const std::uint32_t rgb = ColorToRGB(Color());
    if (!FBrush.Get() || FBrushColor != rgb) {
        FBrush.Reset(CreateSolidBrush(rgb));
        FBrushColor = rgb;
    }
    return FBrush.Get();
}

void* TWinControl::ControlColor(void* dc)
{
    SetTextColor(static_cast<HDC>(dc), ColorToRGB(Font()->Color()));
    SetBkColor(static_cast<HDC>(dc), ColorToRGB(Color()));
    return BackgroundBrush();
}

void TWinControl::Invalidate()
{
    if (FHandle)
        InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Repaint()
{
    if (FHandle)
        RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool TWinControl::ReflectToChild(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, TMessageResult& result)
{
    result = 0;
    switch (msg) {
    case WM_COMMAND:
        if (lParam)
            if (TWinControl* child = Find(reinterpret_cast<HWND>(lParam)); child && child != this)
                return child->Notification(HIWORD(wParam));
        return false;
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        TWinControl* child = Find(dis->hwndItem);
        result = TRUE;
        return child && child->DrawItem(dis);
    }
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        TWinControl* child = Find(GetDlgItem(FHandle, static_cast<int>(mis->CtlID)));
        if (!child)
            child = Creating();
        result = TRUE;
        return child && child != this && child->MeasureItem(mis);
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        if (TWinControl* child = Find(reinterpret_cast<HWND>(lParam)); child && child != this)
            if (void* brush = child->ControlColor(reinterpret_cast<HDC>(wParam))) {
                result = reinterpret_cast<LRESULT>(brush);
                return true;
            }
        return false;
    }
    return false;
}

bool TWinControl::PaintOwn(unsigned msg, std::uintptr_t wParam, TMessageResult& result)
{
    // A subclassed standard window paints itself.
    if (FDefWndProc)
        return false;
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(FHandle, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, static_cast<HBRUSH>(BackgroundBrush()));
        result = 1;
        return true;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(FHandle, &ps);
        Paint(dc);
        EndPaint(FHandle, &ps);
        result = 0;
        return true;
    }
    case WM_PRINTCLIENT: {
        RECT r;
        GetClientRect(FHandle, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, static_cast<HBRUSH>(BackgroundBrush()));
        Paint(reinterpret_cast<HDC>(wParam));
        result = 0;
        return true;
    }
    }
    return false;
}

TMessageResult TWinControl::WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    TMessageResult result = 0;
    if (ReflectToChild(msg, wParam, lParam, result) || PaintOwn(msg, wParam, result))
        return result;
    switch (msg) {
    case WM_SETCURSOR:
        if (ProgramCursor() != TCursor::crDefault) {
            ::SetCursor(LoadCursorA(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        unsigned short key = static_cast<unsigned short>(wParam);
        TShiftState shift = (GetKeyState(VK_SHIFT) < 0 ? TShiftState(ssShift) : 0u) |
            (GetKeyState(VK_CONTROL) < 0 ? TShiftState(ssCtrl) : 0u) | (GetKeyState(VK_MENU) < 0 ? TShiftState(ssAlt) : 0u);
        KeyDown(key, shift);
        if (key == 0)
            return 0;
        wParam = key;
        break;
    }
    case WM_SETFOCUS:
        if (TWinControl* root = FocusRoot(); root && root != this)
            root->ControlFocused(this);
        if (OnEnter)
            OnEnter(this);
        break;
    case WM_KILLFOCUS:
        if (OnExit)
            OnExit(this);
        break;
    case WM_GETOBJECT:
        // Screen readers ask for the client object; its name is the label's.
        if (FNameLabel && static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) {
            const WideString name = AnsiToWide(AccessibleName());
            if (LRESULT r = AnswerAccessibleObject(FHandle, wParam, std::wstring(name.begin(), name.end())))
                return r;
        }
        break;
    case WM_NCDESTROY: {
        TMessageResult r = DefaultHandler(msg, wParam, lParam);
        Detach(FHandle);
        if (FDefWndProc)
            SetWindowLongPtrA(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FDefWndProc));
        FDefWndProc = nullptr;
        FHandle = nullptr;
        return r;
    }
    }
    return DefaultHandler(msg, wParam, lParam);
}
