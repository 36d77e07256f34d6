#pragma once
// Controls over real Win32 windows. A control object exists before its window:
// properties live in the object and are pushed to the window once it is
// created (HandleNeeded), and read back from it while it exists, so program
// code and tests may drive a form without ever showing it.
#include "uGraphics.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

struct HWND__;
using TWindowHandle = HWND__*;   // HWND without <windows.h>
using TMessageResult = std::intptr_t;

class TWinControl;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;

enum class TCursor : int { crDefault = 0, crArrow = -2, crHourGlass = -11 };

// The cursor every control of the program shows (the screen's); crDefault
// lets each window show its own.
TCursor ProgramCursor();
void SetProgramCursor(TCursor cursor);

// Where an exception that escaped an event handler is reported; the
// application installs its own. Without one it is swallowed, never let
// through the system's window procedure.
using TExceptionReport = void (*)(TObject* sender, const std::exception& error);
void SetExceptionReport(TExceptionReport report);

// Virtual-key codes the framework and its users name.
inline constexpr unsigned short vkBack = 0x08, vkTab = 0x09, vkReturn = 0x0D, vkEscape = 0x1B,
                                vkF1 = 0x70;

enum TShiftKind : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using TShiftState = unsigned;

using TNotifyEvent = std::function<void(TObject* sender)>;
using TKeyEvent = std::function<void(TObject* sender, unsigned short& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;

// The creation record of one window: CreateParams fills it, CreateWnd uses it.
struct TCreateParams {
    const char* WinClassName = nullptr; // a standard class, or null for the framework's own
    unsigned Style = 0;
    unsigned ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    AnsiString Caption;
    TWindowHandle WndParent = nullptr;
};

// Figures laid out at 96 DPI and shown at another. Each scaling starts from
// the 96-DPI figure, so scaling there and back loses nothing; a figure set
// since the last scaling becomes the new 96-DPI one.
template <int N> class TDesignFigures {
public:
    void Scale(int* const (&figures)[N], int fromDpi, int toDpi)
    {
        for (int i = 0; i < N; ++i) {
            if (!FKnown || *figures[i] != FScaled[i])
                FDesign[i] = MulDiv(*figures[i], 96, fromDpi);
            FScaled[i] = MulDiv(FDesign[i], toDpi, 96);
            *figures[i] = FScaled[i];
        }
        FKnown = true;
    }

private:
    int FDesign[N] = {};
    int FScaled[N] = {};
    bool FKnown = false;
};

class TControl : public TComponent {
    RT_PUBLISHED(TControl, TComponent,
        StrProp<&TControl::Hint, &TControl::SetHint>("Hint"),
        StrProp<&TControl::HelpKeyword, &TControl::SetHelpKeyword>("HelpKeyword"),
        StrProp<&TControl::ImeName, &TControl::SetImeName>("ImeName"),
        OtherProp("Left"), OtherProp("Top"), OtherProp("Width"), OtherProp("Height"),
        OtherProp("Align"), OtherProp("Anchors"), OtherProp("Visible"), OtherProp("Enabled"),
        OtherProp("ParentFont"), OtherProp("Color"), OtherProp("OnClick"))
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual void SetBounds(int left, int top, int width, int height);

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign align);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors anchors) { FAnchors = anchors; }

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool enabled);

    // Caption and Text are one value (the window text); classes publish the
    // name that suits them.
    AnsiString Caption() const { return GetText(); }
    void SetCaption(const AnsiString& text) { SetText(text); }
    AnsiString Text() const { return GetText(); }
    void SetText(const AnsiString& text);

    AnsiString Hint() const { return FHint; }
    void SetHint(const AnsiString& v) { FHint = v; }
    AnsiString HelpKeyword() const { return FHelpKeyword; }
    void SetHelpKeyword(const AnsiString& v) { FHelpKeyword = v; }
    AnsiString ImeName() const { return FImeName; }
    void SetImeName(const AnsiString& v) { FImeName = v; }

    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* font);
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool parentFont);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool parentColor);

    // Moves the control above (or below) its siblings, window z-order included.
    void BringToFront();
    void SendToBack();

    TNotifyEvent OnClick;
    // Runs the click action as if the user had clicked.
    virtual void Click();

protected:
    virtual AnsiString GetText() const { return FText; }
    virtual void TextChanged() {}
    virtual void FontChanged();
    virtual void ColorChanged() {}
    virtual void BoundsChanged() {}
    void ParentFontChanged();
    void ParentColorChanged();
    void RequestAlign();
    // A new screen DPI: position, size and font go from `fromDpi` to
    // `toDpi`. Figures nobody changed since the last scaling come from their
    // 96-DPI values, so scaling there and back loses nothing to rounding.
    virtual void ChangeScale(int fromDpi, int toDpi);

    AnsiString FText;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    bool FVisible = true;
    bool FEnabled = true;

private:
    friend class TWinControl;
    TWinControl* FParent = nullptr;
    TAlign FAlign = TAlign::alNone;
    TAnchors FAnchors = akLeft | akTop;
    AnsiString FHint, FHelpKeyword, FImeName;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    bool FChangingFont = false;
    TColor FColor = clBtnFace;
    bool FParentColor = true;
    TDesignFigures<4> FDesignBounds; // left, top, width, height
};

// A control with a window. Standard window classes (BUTTON, EDIT, ...) are
// subclassed so that their messages reach the object; the framework's own
// containers use its window class. Either way the object is found again
// through the pointer kept with the window.
class TWinControl : public TControl {
    RT_PUBLISHED(TWinControl, TControl, OtherProp("TabOrder"), OtherProp("TabStop"),
        OtherProp("OnKeyDown"), OtherProp("OnEnter"), OtherProp("OnExit"))
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    // Paints now, for work that holds the message loop (a download).
    void Repaint();

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    // Children from the bottom of the z-order to the top.
    TControl* Controls(int index) const { return FControls.at(static_cast<size_t>(index)); }
    bool ContainsControl(const TControl* control) const;

    bool HandleAllocated() const { return FHandle != nullptr; }
    // The window, created (with its parents and children) on first use.
    TWindowHandle Handle();
    TWindowHandle WindowHandle() const { return FHandle; }
    void HandleNeeded() { (void)Handle(); }
    void DestroyHandle();
    static TWinControl* FromHandle(TWindowHandle window);

    // Position among the parent's focusable children; -1 when outside it.
    int TabOrder() const;
    void SetTabOrder(int order);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool tabStop);
    // Tab-stop children in tab order, depth first, as Tab visits them.
    void GetTabOrderList(std::vector<TWinControl*>& list) const;

    bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();
    // Moves focus to the next (or previous) tab stop inside this control.
    void SelectNext(TWinControl* current, bool forward);
    // Focuses the first tab stop inside this control; false when there is none.
    bool SelectFirst();

    void SetBounds(int left, int top, int width, int height) override;
    // The area children are laid out in, in this control's own pixels.
    virtual void GetClientSize(int& width, int& height) const;
    void AlignControls();
    // AlignControls here and in every container below.
    void AlignAll();
    // The DPI this control's figures are at (its font's).
    int CurrentDpi() const { return Font()->PixelsPerInch(); }

    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    // Messages: the window procedure of every control ends here.
    virtual TMessageResult WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    TMessageResult Perform(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    // Key-down handling: runs OnKeyDown; a handler may change or clear the key.
    virtual void KeyDown(unsigned short& key, TShiftState shift);
    // True when the control itself wants Tab, Enter or Escape (an open list).
    virtual bool WantsDialogKey(unsigned short key);
    // True when Tab passes this control by: a radio button that is not its
    // group's stop (the group is one stop, arrows move inside it).
    virtual bool SkippedByTab() const { return false; }
    // Controls Tab treats as one stop share a group (radio buttons: their
    // parent); null for a control that stands alone.
    virtual const TWinControl* TabGroup() const { return nullptr; }

    // What the dialog keys do to a control, so that the form holding it
    // needs no knowledge of the kinds of control:
    // Enter on the focused control clicks it (a push button).
    virtual bool ClickedByEnter() const { return false; }
    // Clicked by Enter or Escape from anywhere on its form (the default and
    // the cancel button).
    virtual bool AnswersKey(unsigned short key) const { return false; }
    // Alt + the letter its caption marks: true when the control acted.
    virtual bool Accelerate() { return false; }
    // An arrow key on it: true when the key was spent (inside a radio group).
    virtual bool ArrowKey(bool forward) { return false; }

    // The window that keeps the focus for what lies inside it (a form):
    // focus given up by a control goes there, and it remembers which
    // control had the focus last.
    virtual bool IsFocusRoot() const { return false; }
    // The focus root this control lies in (itself, if it is one), or null.
    TWinControl* FocusRoot() const;

    // The label that names this control; screen readers announce its text.
    TWinControl* NameLabel() const { return FNameLabel; }
    // The control a label names, or null.
    TWinControl* LabelFor() const { return FLabelFor; }
    // The accessible name: the naming label's text without its shortcut mark.
    AnsiString AccessibleName() const;

protected:
    friend class TControl;
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    // After the window exists: push the model into it.
    virtual void InitializeWnd() {}
    // Before the window goes: pull what only the window knows into the model.
    virtual void SaveWndState() {}
    TMessageResult DefaultHandler(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    // Notifications a child sent to this window, handed to the child.
    virtual bool Notification(unsigned code) { return false; }
    virtual bool DrawItem(void* drawItemStruct) { return false; }
    virtual bool MeasureItem(void* measureItemStruct) { return false; }
    // Background brush for WM_CTLCOLOR*; null leaves the default.
    virtual void* ControlColor(void* dc);
    virtual void Paint(void* dc) {}
    void Invalidate();
    void UpdateWindowZOrder();
    // Extra window height beyond the control's own (a combo box's list).
    virtual int WindowExtraHeight() const { return 0; }
    // True when the focus lies on this window or one inside it.
    bool ContainsFocus() const;

    void TextChanged() override;
    void FontChanged() override;
    void ColorChanged() override;
    void BoundsChanged() override;
    void ChangeScale(int fromDpi, int toDpi) override;
    void ChangeChildrenScale(int fromDpi, int toDpi);

    void* BackgroundBrush();

    // Moves and sizes the children anchored to the right or bottom edge.
    void ResizeChildren(int oldWidth, int oldHeight);
    // Told by its controls, when this is a focus root.
    virtual void ControlFocused(TWinControl* control) {}
    virtual void ControlRemoved(TControl* control) {}

    // Ties a label to the control it names (either may be null), both ways.
    static void LinkLabel(TWinControl* label, TWinControl* control);

    TWindowHandle FHandle = nullptr;
    // Controls that never take the focus (labels, pictures) keep out of the
    // tab order, so the tab orders of the others count from 0.
    bool FInTabOrder = true;

private:
    friend class TWindowBinder;
    // The messages a child sends its parent about itself, handed to it.
    bool ReflectToChild(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, TMessageResult& result);
    // Background and painting of the framework's own windows.
    bool PaintOwn(unsigned msg, std::uintptr_t wParam, TMessageResult& result);
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    void CreateChildHandles();
    void SaveWndStates();

    std::vector<TControl*> FControls;
    std::vector<TWinControl*> FTabList;
    TWinControl* FNameLabel = nullptr;
    TWinControl* FLabelFor = nullptr;
    bool FTabStop = false;
    void* FDefWndProc = nullptr; // the standard class's own procedure, when subclassed
    TGdiObject FBrush;
    std::uint32_t FBrushColor = 0;
    int FAligning = 0;
};

