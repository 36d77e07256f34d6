#pragma once
// Standard controls: labels, buttons, check and radio buttons, edits and
// combo boxes, each over its Win32 window class.
#include "uForms.h"

#include <memory>

// A text on a STATIC window. AutoSize makes it as large as its text on one
// line; WordWrap keeps its size and breaks the text at word boundaries.
class TLabel : public TWinControl {
    RT_PUBLISHED(TLabel, TWinControl, StrProp<&TLabel::Caption, &TLabel::SetCaption>("Caption"),
        ObjProp<&TLabel::Font>("Font"), OtherProp("AutoSize"), OtherProp("WordWrap"),
        OtherProp("Transparent"))
public:
    explicit TLabel(TComponent* owner);

    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool autoSize);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool wordWrap);
    // Whether "&" marks the next letter as a shortcut (shown underlined).
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool value) { FShowAccelChar = value; }
    // The control this label names: screen readers announce the label's text
    // as the control's name, and the label's shortcut focuses it.
    TWinControl* FocusControl() const { return LabelFor(); }
    void SetFocusControl(TWinControl* control) { LinkLabel(this, control); }
    // Its shortcut focuses the control it names.
    bool Accelerate() override;

protected:
    void CreateParams(TCreateParams& params) override;
    void TextChanged() override;
    void FontChanged() override;
    void ChangeScale(int fromDpi, int toDpi) override;

private:
    void AdjustSize();
    bool FAutoSize = true;
    bool FWordWrap = false;
    bool FShowAccelChar = true;
};

// Push button. A Default button is clicked by Enter, a Cancel button by
// Escape; a non-zero ModalResult closes a modal form with that result.
class TButton : public TWinControl {
    RT_PUBLISHED(TButton, TWinControl, StrProp<&TButton::Caption, &TButton::SetCaption>("Caption"),
        ObjProp<&TButton::Font>("Font"), OtherProp("Default"), OtherProp("Cancel"),
        OtherProp("ModalResult"))
public:
    explicit TButton(TComponent* owner);

    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult result) { FModalResult = result; }

    void Click() override;
    bool ClickedByEnter() const override { return true; }
    bool AnswersKey(unsigned short key) const override
    {
        return (key == vkReturn && FDefault) || (key == vkEscape && FCancel);
    }
    bool Accelerate() override
    {
        Click();
        return true;
    }

protected:
    void CreateParams(TCreateParams& params) override;
    bool Notification(unsigned code) override;

private:
    bool FDefault = false;
    bool FCancel = false;
    TModalResult FModalResult = mrNone;
};

// Check box and radio button share the checked state kept in the model.
class TButtonControl : public TWinControl {
    RT_CLASS(TButtonControl, TWinControl)
public:
    explicit TButtonControl(TComponent* owner);
    bool Checked() const { return FChecked; }
    virtual void SetChecked(bool checked) = 0;

protected:
    void InitializeWnd() override;
    void* ControlColor(void* dc) override;
    void SyncCheck();
    bool FChecked = false;
};

// A radio button; checking one unchecks its siblings and fires OnClick.
class TRadioButton : public TButtonControl {
    RT_PUBLISHED(TRadioButton, TButtonControl,
        StrProp<&TRadioButton::Caption, &TRadioButton::SetCaption>("Caption"),
        ObjProp<&TRadioButton::Font>("Font"), OtherProp("Checked"))
public:
    explicit TRadioButton(TComponent* owner);
    void SetChecked(bool checked) override;
    // The radio buttons of one parent form one group: Tab stops at its
    // checked button (the first when none is), arrow keys move inside it.
    bool SkippedByTab() const override;
    const TWinControl* TabGroup() const override { return Parent(); }
    // The group's buttons in tab order.
    std::vector<TRadioButton*> Group() const;
    // Focused and checked by its shortcut.
    bool Accelerate() override;
    // The previous or next button of the group that can take the focus,
    // round the group, gets it and is checked.
    bool ArrowKey(bool forward) override;

protected:
    void CreateParams(TCreateParams& params) override;
    bool Notification(unsigned code) override;
};

class TCheckBox : public TButtonControl {
    RT_PUBLISHED(TCheckBox, TButtonControl,
        StrProp<&TCheckBox::Caption, &TCheckBox::SetCaption>("Caption"),
        ObjProp<&TCheckBox::Font>("Font"), OtherProp("Checked"))
public:
    explicit TCheckBox(TComponent* owner);
    void SetChecked(bool checked) override;
    void Toggle() { SetChecked(!FChecked); }
    // Focused and toggled by its shortcut.
    bool Accelerate() override;

protected:
    void CreateParams(TCreateParams& params) override;
    bool Notification(unsigned code) override;
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// One-line edit.
class TEdit : public TWinControl {
    RT_PUBLISHED(TEdit, TWinControl, StrProp<&TEdit::Text, &TEdit::SetText>("Text"),
        ObjProp<&TEdit::Font>("Font"), OtherProp("MaxLength"), OtherProp("OnChange"))
public:
    explicit TEdit(TComponent* owner);

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment alignment) { FAlignment = alignment; }
    int SelStart() const;

    TNotifyEvent OnChange;
    // Shows a mark for each character typed (a password); set before the
    // window exists.
    bool PasswordInput = false;

protected:
    AnsiString GetText() const override;
    void SaveWndState() override;
    void CreateParams(TCreateParams& params) override;
    bool Notification(unsigned code) override;
    void* ControlColor(void* dc) override;

private:
    TAlignment FAlignment = TAlignment::taLeftJustify;
};

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

// Combo box. Items are a string list kept in the model and mirrored into the
// window; ItemIndex is the selection (-1: none).
class TComboBox : public TWinControl {
    RT_PUBLISHED(TComboBox, TWinControl, StrProp<&TComboBox::Text, &TComboBox::SetText>("Text"),
        ObjProp<&TComboBox::Items, &TComboBox::SetItems>("Items"), ObjProp<&TComboBox::Font>("Font"),
        OtherProp("ItemIndex"), OtherProp("Style"), OtherProp("ItemHeight"), OtherProp("DropDownCount"),
        OtherProp("OnChange"))
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;

    TStrings* Items() const { return FItems.get(); }
    // Copies the entries of `items`.
    void SetItems(TStrings* items);
    int ItemIndex() const;
    void SetItemIndex(int index);
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle style);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int height);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int count) { FDropDownCount = count; }
    bool DroppedDown() const;
    void SetDroppedDown(bool dropped);

    TNotifyEvent OnChange;

    bool WantsDialogKey(unsigned short key) override;

protected:
    AnsiString GetText() const override;
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void SaveWndState() override;
    bool Notification(unsigned code) override;
    int WindowExtraHeight() const override;
    void ChangeScale(int fromDpi, int toDpi) override;
    virtual void Change();
    void ItemsChanged();
    // Item heights to the window, as the style wants them.
    void ApplyItemHeight();

    std::unique_ptr<TStringList> FItems;
    int FItemIndex = -1;
    TComboBoxStyle FStyle = TComboBoxStyle::csDropDown;
    int FItemHeight = 16;
    int FDropDownCount = 8;
};
