#pragma once
// A folder field: an edit with a browse button that opens the shell's folder
// dialog; while typing, file-system folders are offered for completion.
#include "uStdCtrls.h"

class TDirectoryEdit : public TEdit {
    RT_PUBLISHED(TDirectoryEdit, TEdit, StrProp<&TDirectoryEdit::DialogText, &TDirectoryEdit::SetDialogText>("DialogText"))
public:
    explicit TDirectoryEdit(TComponent* owner);
    ~TDirectoryEdit() override;

    // Title shown in the folder dialog.
    AnsiString DialogText() const { return FDialogText; }
    void SetDialogText(const AnsiString& text) { FDialogText = text; }
    // The folder the dialog starts in, following the rules below; remembered
    // from the last existing folder chosen.
    AnsiString InitialFolder() const;
    // Opens the folder dialog as the browse button does.
    void Browse();

    TWindowHandle ButtonHandle() const { return FButton; }
    TMessageResult WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

protected:
    void InitializeWnd() override;

private:
    void PlaceButton();

    AnsiString FDialogText;
    AnsiString FLastFolder;
    TWindowHandle FButton = nullptr;
};
