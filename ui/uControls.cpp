#include "uWin.h"

#include "runtime/uSysUtils.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

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
std::atomic<TExceptionReport> GExceptionReport{nullptr};
std::atomic<TCursor> GProgramCursor{TCursor::crDefault};
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
        if (TExceptionReport report = GExceptionReport.load())
            report(control, e);
    } catch (...) {
        if (TExceptionReport report = GExceptionReport.load())
            report(control, std::runtime_error("Unknown error"));
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

void SetExceptionReport(TExceptionReport report) { ui_detail::GExceptionReport.store(report); }
TCursor ProgramCursor() { return ui_detail::GProgramCursor.load(); }
void SetProgramCursor(TCursor cursor) { ui_detail::GProgramCursor.store(cursor); }

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
            if (TWinControl* root = self->FocusRoot(); root && root->HandleAllocated() && root != self)
                ::SetFocus(root->WindowHandle());
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
            if (TWinControl* root = self->FocusRoot(); root && root->HandleAllocated() && root != self)
                ::SetFocus(root->WindowHandle());
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

TWinControl* TWinControl::FocusRoot() const
{
    for (const TWinControl* c = this; c; c = c->Parent())
        if (c->IsFocusRoot())
            return const_cast<TWinControl*>(c);
    return nullptr;
}
