#include "uWin.h"

#include "uForms.h"
#include "runtime/uSysUtils.h"

#include <algorithm>

// Ties a window to its control from inside the window procedure, before
// CreateWindowEx has returned the handle.
class TWindowBinder {
public:
    static void Bind(TWinControl* control, HWND hwnd) { control->FHandle = hwnd; }
};

namespace ui_detail {

const char* const FrameworkClass = "KorvantWindow";

namespace {
const char* const ControlProp = "KorvantControl";
LRESULT CALLBACK FrameworkWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK SubclassWndProc(HWND, UINT, WPARAM, LPARAM);
// The control whose window CreateWindowEx is making; its class may send
// messages (WM_MEASUREITEM) to the parent before the window is subclassed.
thread_local TWinControl* GCreating = nullptr;
} // namespace

void EnsureClasses()
{
    static const bool done = [] {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = FrameworkWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
        wc.lpszClassName = FrameworkClass;
        RegisterClassExA(&wc);
        return true;
    }();
    (void)done;
}

LRESULT Dispatch(TWinControl* control, UINT msg, WPARAM wParam, LPARAM lParam)
{
    try {
        return control->WndProc(msg, wParam, lParam);
    } catch (const std::exception& e) {
        Application->HandleException(control, e);
    } catch (...) {
        Application->HandleException(control, std::runtime_error("Unknown error"));
    }
    return 0;
}

AnsiString ShownText(const AnsiString& caption)
{
    // "&&" stands for one ampersand; a single one only marks the character
    // after it, and one at the very end marks nothing and is not drawn.
    AnsiString shown;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && ++i == caption.size())
            break;
        shown += caption[i];
    }
    return shown;
}

SIZE MeasureText(const AnsiString& text, const TFont& font, int width, UINT extraFlags)
{
    const platform::win::TWindowDc screen = platform::win::GetWindowDc(nullptr);
    const HDC dc = screen.Get();
    const platform::win::TSelection selected = platform::win::Select(dc, font.Handle());
    SIZE size{0, 0};
    if (width > 0) {
        RECT r{0, 0, width, 0};
        AnsiString s = text.empty() ? AnsiString(" ") : text;
        DrawTextA(dc, s.c_str(), static_cast<int>(s.size()), &r,
            DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK | extraFlags);
        size = SIZE{r.right - r.left, r.bottom - r.top};
    } else {
        // One line: the extent of the glyphs as drawn. DrawText's own
        // measure can come out a pixel short, clipping the last character.
        AnsiString shown = (extraFlags & DT_NOPREFIX) ? text : ShownText(text);
        if (shown.empty())
            shown.push_back(' ');
        GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
        TEXTMETRICA tm;
        GetTextMetricsA(dc, &tm);
        size.cy = tm.tmHeight;
        // Room for the last glyph's overhang: Wine's static control drops a
        // final full stop that ends exactly on the edge.
        size.cx += tm.tmOverhang + 2;
    }
    return size;
}

namespace {
TWinControl* Lookup(HWND hwnd) { return static_cast<TWinControl*>(GetPropA(hwnd, ControlProp)); }

LRESULT CALLBACK FrameworkWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        if (auto* control = static_cast<TWinControl*>(cs->lpCreateParams)) {
            SetPropA(hwnd, ControlProp, control);
            TWindowBinder::Bind(control, hwnd);
        }
    }
    TWinControl* control = Lookup(hwnd);
    if (!control)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    return Dispatch(control, msg, wParam, lParam);
}

LRESULT CALLBACK SubclassWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    TWinControl* control = Lookup(hwnd);
    if (!control)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    return Dispatch(control, msg, wParam, lParam);
}
} // namespace

// Hooks used by TWinControl below.
void Attach(HWND hwnd, TWinControl* control) { SetPropA(hwnd, ControlProp, control); }
void Detach(HWND hwnd) { RemovePropA(hwnd, ControlProp); }
TWinControl* Find(HWND hwnd) { return hwnd ? Lookup(hwnd) : nullptr; }
WNDPROC SubclassProc() { return SubclassWndProc; }
TWinControl*& Creating() { return GCreating; }

} // namespace ui_detail

using namespace ui_detail;

// --- TControl -----------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner), FFont(std::make_unique<TFont>())
{
    FFont->OnChange = [this](TFont*) {
        if (!FChangingFont)
            FParentFont = false;
        FontChanged();
    };
}

TControl::~TControl()
{
    FFont->OnChange = nullptr;
    if (FParent)
        FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent == FParent)
        return;
    if (FParent)
        FParent->RemoveControl(this);
    if (parent)
        parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight)
        return;
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    BoundsChanged();
    RequestAlign();
}

void TControl::RequestAlign()
{
    if (FParent && FAlign != TAlign::alNone && !FParent->FAligning)
        FParent->AlignControls();
}

void TControl::SetAlign(TAlign align)
{
    if (align == FAlign)
        return;
    FAlign = align;
    RequestAlign();
}

void TControl::SetVisible(bool visible)
{
    if (visible == FVisible)
        return;
    FVisible = visible;
    if (auto* self = dynamic_cast<TWinControl*>(this); self && self->HandleAllocated()) {
        HWND hwnd = self->WindowHandle();
        // Focus must not stay on a window that disappears: give it to the form.
        if (!visible && self->ContainsFocus())
            if (TForm* form = GetParentForm(this); form && form->HandleAllocated() && form != self)
                ::SetFocus(form->WindowHandle());
        ShowWindow(hwnd, visible ? SW_SHOWNA : SW_HIDE);
    }
    if (FParent && FAlign != TAlign::alNone && !FParent->FAligning)
        FParent->AlignControls();
}

void TControl::SetEnabled(bool enabled)
{
    if (enabled == FEnabled)
        return;
    FEnabled = enabled;
    if (auto* self = dynamic_cast<TWinControl*>(this); self && self->HandleAllocated()) {
        // A disabled window loses the focus to nobody, and keys then reach no
        // control at all: give it to the form instead.
        if (!enabled && self->ContainsFocus())
            if (TForm* form = GetParentForm(this); form && form->HandleAllocated() && form != self)
                ::SetFocus(form->WindowHandle());
        EnableWindow(self->WindowHandle(), enabled);
    }
}

void TControl::SetText(const AnsiString& text)
{
    if (text == GetText())
        return;
    FText = text;
    TextChanged();
}

void TControl::SetFont(TFont* font)
{
    if (font)
        FFont->Assign(*font);
}

void TControl::SetParentFont(bool parentFont)
{
    FParentFont = parentFont;
    if (parentFont)
        ParentFontChanged();
}

void TControl::ParentFontChanged()
{
    if (!FParentFont || !FParent)
        return;
    FChangingFont = true;
    try {
        FFont->Assign(*FParent->Font());
    } catch (...) {
        FChangingFont = false;
        throw;
    }
    FChangingFont = false;
}

void TControl::FontChanged() {}

void TControl::SetColor(TColor color)
{
    FParentColor = false;
    if (color != FColor) {
        FColor = color;
        ColorChanged();
    }
}

void TControl::SetParentColor(bool parentColor)
{
    FParentColor = parentColor;
    if (parentColor)
        ParentColorChanged();
}

void TControl::ParentColorChanged()
{
    if (FParentColor && FParent && FParent->Color() != FColor) {
        FColor = FParent->Color();
        ColorChanged();
    }
}

void TControl::BringToFront()
{
    if (!FParent)
        return;
    auto& list = FParent->FControls;
    list.erase(std::find(list.begin(), list.end(), this));
    list.push_back(this);
    if (auto* self = dynamic_cast<TWinControl*>(this); self && self->HandleAllocated())
        SetWindowPos(self->WindowHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TControl::SendToBack()
{
    if (!FParent)
        return;
    auto& list = FParent->FControls;
    list.erase(std::find(list.begin(), list.end(), this));
    list.insert(list.begin(), this);
    if (auto* self = dynamic_cast<TWinControl*>(this); self && self->HandleAllocated())
        SetWindowPos(self->WindowHandle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TControl::ChangeScale(int fromDpi, int toDpi)
{
    FDesignBounds.Scale({&FLeft, &FTop, &FWidth, &FHeight}, fromDpi, toDpi);
    BoundsChanged();
    // The font follows the screen without ceasing to be the parent's.
    FChangingFont = true;
    try {
        FFont->SetPixelsPerInch(toDpi);
    } catch (...) {
        FChangingFont = false;
        throw;
    }
    FChangingFont = false;
}

void TControl::Click()
{
    if (OnClick)
        OnClick(this);
}

TForm* GetParentForm(const TControl* control)
{
    for (const TControl* c = control; c; c = c->Parent())
        if (auto* form = dynamic_cast<const TForm*>(c))
            return const_cast<TForm*>(form);
    return nullptr;
}

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
    if (TForm* form = GetParentForm(this))
        form->ControlRemoved(control);
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

TMessageResult TWinControl::WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    const bool own = FDefWndProc == nullptr;
    switch (msg) {
    case WM_COMMAND:
        if (lParam)
            if (TWinControl* child = Find(reinterpret_cast<HWND>(lParam)); child && child != this)
                if (child->Notification(HIWORD(wParam)))
                    return 0;
        break;
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (TWinControl* child = Find(dis->hwndItem); child && child->DrawItem(dis))
            return TRUE;
        break;
    }
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        TWinControl* child = Find(GetDlgItem(FHandle, static_cast<int>(mis->CtlID)));
        if (!child)
            child = Creating();
        if (child && child != this && child->MeasureItem(mis))
            return TRUE;
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        if (TWinControl* child = Find(reinterpret_cast<HWND>(lParam)); child && child != this)
            if (void* brush = child->ControlColor(reinterpret_cast<HDC>(wParam)))
                return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_ERASEBKGND:
        if (own) {
            RECT r;
            GetClientRect(FHandle, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, static_cast<HBRUSH>(BackgroundBrush()));
            return 1;
        }
        break;
    case WM_PAINT:
        if (own) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(FHandle, &ps);
            Paint(dc);
            EndPaint(FHandle, &ps);
            return 0;
        }
        break;
    case WM_PRINTCLIENT:
        if (own) {
            RECT r;
            GetClientRect(FHandle, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, static_cast<HBRUSH>(BackgroundBrush()));
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (Screen->Cursor() != TCursor::crDefault) {
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
        if (TForm* form = GetParentForm(this); form && form != this)
            form->FActiveControl = this;
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

void TWinControl::KeyDown(unsigned short& key, TShiftState shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
}

bool TWinControl::WantsDialogKey(unsigned short key) { return false; }

void TWinControl::TextChanged()
{
    if (FHandle)
        SetWindowTextA(FHandle, FText.c_str());
}

void TWinControl::FontChanged()
{
    if (FHandle) {
        SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
        Invalidate();
    }
    for (TControl* c : FControls)
        c->ParentFontChanged();
}

void TWinControl::ColorChanged()
{
    Invalidate();
    for (TControl* c : FControls)
        c->ParentColorChanged();
}

void TWinControl::GetClientSize(int& width, int& height) const
{
    width = FWidth;
    height = FHeight;
}

void TWinControl::SetBounds(int left, int top, int width, int height)
{
    int oldW, oldH;
    GetClientSize(oldW, oldH);
    TControl::SetBounds(left, top, width, height);
    int newW, newH;
    GetClientSize(newW, newH);
    if (newW != oldW || newH != oldH) {
        ResizeChildren(oldW, oldH);
        AlignControls();
    }
}

void TWinControl::BoundsChanged()
{
    if (FHandle)
        MoveWindow(FHandle, FLeft, FTop, FWidth, FHeight + WindowExtraHeight(), TRUE);
}

void TWinControl::ResizeChildren(int oldWidth, int oldHeight)
{
    if (oldWidth <= 0 && oldHeight <= 0)
        return; // first sizing: nothing was anchored yet
    int w, h;
    GetClientSize(w, h);
    const int dx = w - oldWidth, dy = h - oldHeight;
    for (TControl* c : FControls) {
        if (c->Align() != TAlign::alNone)
            continue;
        int l = c->Left(), t = c->Top(), cw = c->Width(), ch = c->Height();
        if (c->Anchors() & akRight) {
            if (c->Anchors() & akLeft)
                cw += dx;
            else
                l += dx;
        }
        if (c->Anchors() & akBottom) {
            if (c->Anchors() & akTop)
                ch += dy;
            else
                t += dy;
        }
        c->SetBounds(l, t, cw, ch);
    }
}

void TWinControl::ChangeScale(int fromDpi, int toDpi)
{
    TControl::ChangeScale(fromDpi, toDpi);
    ChangeChildrenScale(fromDpi, toDpi);
}

void TWinControl::ChangeChildrenScale(int fromDpi, int toDpi)
{
    for (TControl* c : std::vector<TControl*>(FControls))
        c->ChangeScale(fromDpi, toDpi);
}

void TWinControl::AlignAll()
{
    AlignControls();
    for (TControl* c : std::vector<TControl*>(FControls))
        if (auto* win = dynamic_cast<TWinControl*>(c))
            win->AlignAll();
}

void TWinControl::AlignControls()
{
    ++FAligning;
    int w, h;
    GetClientSize(w, h);
    int left = 0, top = 0, right = w, bottom = h;
    for (TAlign pass : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient})
        for (TControl* c : FControls) {
            if (c->Align() != pass || !c->Visible())
                continue;
            switch (pass) {
            case TAlign::alTop:
                c->SetBounds(left, top, right - left, c->Height());
                top += c->Height();
                break;
            case TAlign::alBottom:
                c->SetBounds(left, bottom - c->Height(), right - left, c->Height());
                bottom -= c->Height();
                break;
            case TAlign::alLeft:
                c->SetBounds(left, top, c->Width(), bottom - top);
                left += c->Width();
                break;
            case TAlign::alRight:
                c->SetBounds(right - c->Width(), top, c->Width(), bottom - top);
                right -= c->Width();
                break;
            default:
                c->SetBounds(left, top, right - left, bottom - top);
                break;
            }
        }
    --FAligning;
}

int TWinControl::TabOrder() const
{
    if (!Parent())
        return -1;
    auto& list = Parent()->FTabList;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order)
{
    if (!Parent() || !FInTabOrder)
        return;
    auto& list = Parent()->FTabList;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    order = std::clamp(order, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + order, this);
}

void TWinControl::SetTabStop(bool tabStop)
{
    FTabStop = tabStop;
    if (FHandle) {
        LONG_PTR style = GetWindowLongPtrA(FHandle, GWL_STYLE);
        SetWindowLongPtrA(FHandle, GWL_STYLE, tabStop ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
    }
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const
{
    for (TWinControl* c : FTabList) {
        if (c->FTabStop)
            list.push_back(c);
        c->GetTabOrderList(list);
    }
}

bool TWinControl::CanFocus() const
{
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled())
            return false;
    return GetParentForm(this) != nullptr;
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

bool TWinControl::ContainsFocus() const
{
    HWND focus = GetFocus();
    return FHandle && focus && (focus == FHandle || IsChild(FHandle, focus));
}

void TWinControl::SetFocus()
{
    if (TForm* form = GetParentForm(this); form && form != this)
        form->FActiveControl = this;
    if (FHandle && CanFocus())
        ::SetFocus(FHandle);
}

void TWinControl::SelectNext(TWinControl* current, bool forward)
{
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    // The current control keeps its place in the cycle even when Tab would
    // pass it by (a radio button focused without being checked); Tab leaves
    // its group rather than moving inside it.
    const TWinControl* group = current ? current->TabGroup() : nullptr;
    list.erase(std::remove_if(list.begin(), list.end(),
                   [current, group](TWinControl* c) {
                       return c != current &&
                           (!c->CanFocus() || c->SkippedByTab() || (group && c->TabGroup() == group));
                   }),
        list.end());
    auto it = std::find(list.begin(), list.end(), current);
    if (it != list.end() && list.size() == 1)
        return;
    if (list.empty())
        return;
    size_t index;
    if (it == list.end())
        index = forward ? 0 : list.size() - 1;
    else {
        size_t pos = static_cast<size_t>(it - list.begin());
        index = forward ? (pos + 1) % list.size() : (pos + list.size() - 1) % list.size();
    }
    list[index]->SetFocus();
}

bool TWinControl::SelectFirst()
{
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    for (TWinControl* c : list)
        if (c->CanFocus() && !c->SkippedByTab()) {
            c->SetFocus();
            return true;
        }
    return false;
}
