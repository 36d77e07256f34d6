#pragma once
// An edit that takes only the characters of its check set, and a sign typed
// first. Used for numbers: AsInteger is the text's value, 0 when it is none.
#include "uStdCtrls.h"

enum class TDisplayFormat { dfInteger, dfNone };

class TValidateEdit : public TEdit {
    RT_PUBLISHED(TValidateEdit, TEdit, StrProp<&TValidateEdit::CheckChars, &TValidateEdit::SetCheckChars>("CheckChars"),
        OtherProp("DisplayFormat"), OtherProp("HasMinValue"), OtherProp("HasMaxValue"))
public:
    explicit TValidateEdit(TComponent* owner);

    AnsiString CheckChars() const { return FCheckChars; }
    void SetCheckChars(const AnsiString& chars) { FCheckChars = chars; }
    TDisplayFormat DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(TDisplayFormat format) { FDisplayFormat = format; }

    // Whether a typed character may go in at `position` of `text`. Control
    // characters (backspace and the like) always may.
    bool IsValidChar(char key, const AnsiString& text, int position) const;

    int AsInteger() const;
    void SetAsInteger(int value);

    TMessageResult WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    AnsiString FCheckChars = "01234567890";
    TDisplayFormat FDisplayFormat = TDisplayFormat::dfInteger;
};
