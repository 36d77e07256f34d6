#pragma once
// The list of the machine's fixed drives, each with the shell's display name
// and small icon.
#include "uStdCtrls.h"

class TDriveCombo : public TComboBox {
    RT_PUBLISHED(TDriveCombo, TComboBox, OtherProp("Drive"),
        OtherProp("TextOffset"))
public:
    explicit TDriveCombo(TComponent* owner);
    ~TDriveCombo() override;

    // Upper-case letter of the selected drive; 0 when nothing is selected.
    char Drive() const;
    // Selects the drive with that letter (any case); an unlisted letter
    // changes nothing.
    void SetDrive(char letter);

    int TextOffset() const { return FTextOffset; }
    void SetTextOffset(int offset) { FTextOffset = offset; }

    // The drive letters in list order.
    const AnsiString& Letters() const { return FLetters; }
    // Reads the drives again, keeping the selection when it is still there.
    void Rebuild();

    TMessageResult WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    bool DrawItem(void* drawItemStruct) override;

private:
    void ReadDrives();
    void SelectDefault();

    AnsiString FLetters;
    std::vector<TIconObject> FIcons; // per entry; empty where the shell gave none
    int FTextOffset = 4;
};
