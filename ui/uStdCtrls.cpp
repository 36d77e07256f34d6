#include "uWin.h"

#include "uStdCtrls.h"

#include <algorithm>

using namespace ui_detail;

// --- TLabel ---------------------------------------------------------------------

bool TLabel::Accelerate()
{
    if (!FShowAccelChar)
        return false;
    TWinControl* target = FocusControl();
    if (!target || !target->CanFocus())
        return false;
    target->SetFocus();
    return true;
}

TLabel::TLabel(TComponent* owner) : TWinControl(owner)
{
    FInTabOrder = false;
    FWidth = 65;
    FHeight = 17;
}

void TLabel::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.WinClassName = "STATIC";
    p.Style |= FWordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
    if (!FShowAccelChar)
        p.Style |= SS_NOPREFIX;
}

void TLabel::SetAutoSize(bool autoSize)
{
    FAutoSize = autoSize;
    AdjustSize();
}

void TLabel::SetWordWrap(bool wordWrap)
{
    if (wordWrap == FWordWrap)
        return;
    FWordWrap = wordWrap;
    if (HandleAllocated()) {
        LONG_PTR style = GetWindowLongPtrA(FHandle, GWL_STYLE) & ~(SS_LEFT | SS_LEFTNOWORDWRAP);
        SetWindowLongPtrA(FHandle, GWL_STYLE, style | (wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP));
        Invalidate();
    }
    AdjustSize();
}

void TLabel::TextChanged()
{
    TWinControl::TextChanged();
    AdjustSize();
    Invalidate();
}

void TLabel::FontChanged()
{
    TWinControl::FontChanged();
    AdjustSize();
}

void TLabel::ChangeScale(int fromDpi, int toDpi)
{
    TWinControl::ChangeScale(fromDpi, toDpi);
    // A label that sizes itself holds its text in the new font, whatever
    // the scaled figures say.
    AdjustSize();
}

void TLabel::AdjustSize()
{
    // A wrapped label keeps the size it was given.
    if (!FAutoSize || FWordWrap)
        return;
    SIZE size = MeasureText(FText, *Font(), 0, FShowAccelChar ? 0 : DT_NOPREFIX);
    SetBounds(FLeft, FTop, size.cx, size.cy);
}

// --- TButton --------------------------------------------------------------------

TButton::TButton(TComponent* owner) : TWinControl(owner)
{
    FWidth = 75;
    FHeight = 25;
    SetTabStop(true);
}

void TButton::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.WinClassName = "BUTTON";
    p.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value)
{
    FDefault = value;
    if (HandleAllocated())
        SendMessageA(FHandle, BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click()
{
    if (TForm* form = GetParentForm(this); form && FModalResult != mrNone)
        form->SetModalResult(FModalResult);
    TWinControl::Click();
}

bool TButton::Notification(unsigned code)
{
    if (code != BN_CLICKED)
        return false;
    Click();
    return true;
}

// --- check box and radio button ---------------------------------------------------

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner)
{
    FWidth = 113;
    FHeight = 17;
    SetTabStop(true);
}

void TButtonControl::InitializeWnd() { SyncCheck(); }

void TButtonControl::SyncCheck()
{
    if (HandleAllocated())
        SendMessageA(FHandle, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void* TButtonControl::ControlColor(void* dc)
{
    // The caption sits on the parent's colour.
    SetBkMode(static_cast<HDC>(dc), TRANSPARENT);
    return TWinControl::ControlColor(dc);
}

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {}

void TRadioButton::CreateParams(TCreateParams& p)
{
    TButtonControl::CreateParams(p);
    p.WinClassName = "BUTTON";
    p.Style |= BS_RADIOBUTTON;
    // Marks where the group starts, for tools that read the styles.
    const std::vector<TRadioButton*> group = Group();
    if (!group.empty() && group.front() == this)
        p.Style |= WS_GROUP;
}

std::vector<TRadioButton*> TRadioButton::Group() const
{
    std::vector<TRadioButton*> group;
    if (!Parent())
        return group;
    for (int i = 0; i < Parent()->ControlCount(); ++i)
        if (auto* radio = dynamic_cast<TRadioButton*>(Parent()->Controls(i)))
            group.push_back(radio);
    std::stable_sort(group.begin(), group.end(),
        [](const TRadioButton* a, const TRadioButton* b) { return a->TabOrder() < b->TabOrder(); });
    return group;
}

bool TRadioButton::Accelerate()
{
    SetFocus();
    SetChecked(true);
    return true;
}

bool TRadioButton::ArrowKey(bool forward)
{
    std::vector<TRadioButton*> group = Group();
    auto it = std::find(group.begin(), group.end(), this);
    if (it == group.end())
        return false;
    const size_t n = group.size(), pos = static_cast<size_t>(it - group.begin());
    for (size_t step = 1; step < n; ++step) {
        TRadioButton* next = group[(forward ? pos + step : pos + n - step) % n];
        if (next->CanFocus()) {
            next->SetFocus();
            next->SetChecked(true);
            return true;
        }
    }
    return true; // alone in its group: the key is spent all the same
}

bool TRadioButton::SkippedByTab() const
{
    if (FChecked)
        return false;
    const std::vector<TRadioButton*> group = Group();
    for (const TRadioButton* radio : group)
        if (radio->Checked())
            return true;
    return group.empty() || group.front() != this;
}

void TRadioButton::SetChecked(bool checked)
{
    if (checked == FChecked)
        return;
    FChecked = checked;
    SyncCheck();
    if (!checked)
        return;
    if (Parent())
        for (int i = 0; i < Parent()->ControlCount(); ++i)
            if (auto* other = dynamic_cast<TRadioButton*>(Parent()->Controls(i)); other && other != this)
                other->SetChecked(false);
    Click();
}

bool TRadioButton::Notification(unsigned code)
{
    if (code != BN_CLICKED)
        return false;
    SetChecked(true);
    return true;
}

TCheckBox::TCheckBox(TComponent* owner) : TButtonControl(owner) {}

bool TCheckBox::Accelerate()
{
    SetFocus();
    Toggle();
    return true;
}

void TCheckBox::CreateParams(TCreateParams& p)
{
    TButtonControl::CreateParams(p);
    p.WinClassName = "BUTTON";
    p.Style |= BS_CHECKBOX;
}

void TCheckBox::SetChecked(bool checked)
{
    if (checked == FChecked)
        return;
    FChecked = checked;
    SyncCheck();
    Click();
}

bool TCheckBox::Notification(unsigned code)
{
    if (code != BN_CLICKED)
        return false;
    Toggle();
    return true;
}

// --- TEdit ------------------------------------------------------------------------

TEdit::TEdit(TComponent* owner) : TWinControl(owner)
{
    FWidth = 121;
    FHeight = 21;
    SetTabStop(true);
    SetColor(clWindow);
}

void TEdit::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.WinClassName = "EDIT";
    p.ExStyle |= WS_EX_CLIENTEDGE;
    p.Style |= ES_AUTOHSCROLL;
    if (PasswordInput)
        p.Style |= ES_PASSWORD;
    if (FAlignment == TAlignment::taRightJustify)
        p.Style |= ES_RIGHT;
    else if (FAlignment == TAlignment::taCenter)
        p.Style |= ES_CENTER;
}

AnsiString TEdit::GetText() const
{
    if (!FHandle)
        return FText;
    int n = GetWindowTextLengthA(FHandle);
    AnsiString text(static_cast<size_t>(n) + 1, '\0');
    n = GetWindowTextA(FHandle, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    return text;
}

void TEdit::SaveWndState() { FText = GetText(); }

int TEdit::SelStart() const
{
    if (!FHandle)
        return static_cast<int>(FText.size());
    DWORD start = 0;
    SendMessageA(FHandle, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    return static_cast<int>(start);
}

bool TEdit::Notification(unsigned code)
{
    if (code != EN_CHANGE)
        return false;
    if (OnChange)
        OnChange(this);
    return true;
}

void* TEdit::ControlColor(void* dc)
{
    return TWinControl::ControlColor(dc);
}

// --- TComboBox ----------------------------------------------------------------------

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner), FItems(std::make_unique<TStringList>())
{
    FWidth = 145;
    FHeight = 21;
    SetTabStop(true);
    SetColor(clWindow);
    FItems->OnChange = [this](TObject*) { ItemsChanged(); };
}

TComboBox::~TComboBox()
{
    FItems->OnChange = nullptr;
    DestroyHandle();
}

void TComboBox::SetItems(TStrings* items)
{
    if (items)
        FItems->Assign(*items);
}

void TComboBox::ItemsChanged()
{
    if (FItemIndex >= FItems->Count())
        FItemIndex = -1;
    if (!HandleAllocated())
        return;
    const int keep = ItemIndex();
    SendMessageA(FHandle, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < FItems->Count(); ++i)
        SendMessageA(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FItems->Get(i).c_str()));
    FItemIndex = keep < FItems->Count() ? keep : -1;
    SendMessageA(FHandle, CB_SETCURSEL, static_cast<WPARAM>(FItemIndex), 0);
}

int TComboBox::ItemIndex() const
{
    if (HandleAllocated())
        return static_cast<int>(SendMessageA(FHandle, CB_GETCURSEL, 0, 0));
    return FItemIndex;
}

void TComboBox::SetItemIndex(int index)
{
    FItemIndex = index >= 0 && index < FItems->Count() ? index : -1;
    if (HandleAllocated())
        SendMessageA(FHandle, CB_SETCURSEL, static_cast<WPARAM>(FItemIndex), 0);
}

void TComboBox::SetStyle(TComboBoxStyle style)
{
    if (style == FStyle)
        return;
    FStyle = style;
    if (HandleAllocated()) {
        DestroyHandle();
        HandleNeeded();
    }
}

void TComboBox::SetItemHeight(int height) { FItemHeight = height; }

AnsiString TComboBox::GetText() const
{
    if (HandleAllocated()) {
        int n = GetWindowTextLengthA(FHandle);
        AnsiString text(static_cast<size_t>(n) + 1, '\0');
        n = GetWindowTextA(FHandle, text.data(), n + 1);
        text.resize(static_cast<size_t>(n));
        return text;
    }
    if (FStyle != TComboBoxStyle::csDropDown && FStyle != TComboBoxStyle::csSimple)
        return FItemIndex >= 0 ? FItems->Get(FItemIndex) : AnsiString();
    return FText;
}

void TComboBox::SaveWndState()
{
    FItemIndex = ItemIndex();
    if (FStyle == TComboBoxStyle::csDropDown || FStyle == TComboBoxStyle::csSimple)
        FText = GetText();
}

int TComboBox::WindowExtraHeight() const
{
    // The window's height includes the dropped-down list.
    return FItemHeight * FDropDownCount + 2;
}

void TComboBox::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.WinClassName = "COMBOBOX";
    p.Style |= WS_VSCROLL | CBS_AUTOHSCROLL;
    switch (FStyle) {
    case TComboBoxStyle::csDropDown: p.Style |= CBS_DROPDOWN; break;
    case TComboBoxStyle::csSimple: p.Style |= CBS_SIMPLE; break;
    case TComboBoxStyle::csDropDownList: p.Style |= CBS_DROPDOWNLIST; break;
    case TComboBoxStyle::csOwnerDrawFixed: p.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS; break;
    case TComboBoxStyle::csOwnerDrawVariable: p.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS; break;
    }
}

void TComboBox::ApplyItemHeight()
{
    if (FHandle && FStyle == TComboBoxStyle::csOwnerDrawFixed) {
        SendMessageA(FHandle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), FItemHeight);
        SendMessageA(FHandle, CB_SETITEMHEIGHT, 0, FItemHeight);
    }
}

void TComboBox::ChangeScale(int fromDpi, int toDpi)
{
    FItemHeight = MulDiv(MulDiv(FItemHeight, 96, fromDpi), toDpi, 96);
    TWinControl::ChangeScale(fromDpi, toDpi);
    if (!FHandle)
        return;
    ApplyItemHeight();
    // The closed box takes the height its font and items give it.
    RECT r;
    GetWindowRect(FHandle, &r);
    FHeight = r.bottom - r.top;
}

void TComboBox::InitializeWnd()
{
    ApplyItemHeight();
    for (int i = 0; i < FItems->Count(); ++i)
        SendMessageA(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FItems->Get(i).c_str()));
    SendMessageA(FHandle, CB_SETCURSEL, static_cast<WPARAM>(FItemIndex), 0);
    if (FStyle == TComboBoxStyle::csDropDown || FStyle == TComboBoxStyle::csSimple)
        SetWindowTextA(FHandle, FText.c_str());
    // The closed height follows from the font and item height.
    RECT r;
    GetWindowRect(FHandle, &r);
    FHeight = r.bottom - r.top;
}

bool TComboBox::DroppedDown() const
{
    return HandleAllocated() && SendMessageA(FHandle, CB_GETDROPPEDSTATE, 0, 0) != 0;
}

void TComboBox::SetDroppedDown(bool dropped)
{
    SendMessageA(Handle(), CB_SHOWDROPDOWN, dropped ? TRUE : FALSE, 0);
}

bool TComboBox::WantsDialogKey(unsigned short key) { return DroppedDown(); }

bool TComboBox::Notification(unsigned code)
{
    switch (code) {
    case CBN_SELCHANGE:
        FItemIndex = ItemIndex();
        Click();
        Change();
        return true;
    case CBN_EDITCHANGE:
        Change();
        return true;
    }
    return false;
}

void TComboBox::Change()
{
    if (OnChange)
        OnChange(this);
}
