#pragma once
// Common controls.
#include "uControls.h"

// Progress bar over msctls_progress32, with a 32-bit range.
class TProgressBar : public TWinControl {
    RT_PUBLISHED(TProgressBar, TWinControl, OtherProp("Min"), OtherProp("Max"), OtherProp("Position"))
public:
    explicit TProgressBar(TComponent* owner);

    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Position() const { return FPosition; }
    void SetMin(int value);
    void SetMax(int value);
    void SetPosition(int value);

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;

private:
    // The filled part of the bar for a position, in hundredths.
    int Fill(int position) const;

    int FMin = 0, FMax = 100, FPosition = 0;
    int FShownFill = 0; // what the window shows
};
