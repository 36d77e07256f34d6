#include "uWin.h"

#include "uComCtrls.h"

#include <algorithm>
#include <cstdint>

using namespace ui_detail;

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner)
{
    FWidth = 150;
    FHeight = 16;
}

void TProgressBar::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.WinClassName = PROGRESS_CLASSA;
}

void TProgressBar::InitializeWnd()
{
    SendMessageA(FHandle, PBM_SETRANGE32, static_cast<WPARAM>(FMin), FMax);
    SendMessageA(FHandle, PBM_SETPOS, static_cast<WPARAM>(FPosition), 0);
    FShownFill = Fill(FPosition);
}

int TProgressBar::Fill(int position) const
{
    if (FMax <= FMin)
        return 0;
    const std::int64_t clamped = std::clamp(position, FMin, FMax);
    // Hundredths of the range: finer steps are not seen, and each repaint
    // costs a round trip to the display.
    return static_cast<int>((clamped - FMin) * 100 / (static_cast<std::int64_t>(FMax) - FMin));
}

void TProgressBar::SetMin(int value)
{
    FMin = value;
    if (HandleAllocated())
        InitializeWnd();
}

void TProgressBar::SetMax(int value)
{
    FMax = value;
    if (HandleAllocated())
        InitializeWnd();
}

void TProgressBar::SetPosition(int value)
{
    FPosition = value;
    // The bar repaints at once on every new position, which costs a trip to
    // the display; a download reports thousands of positions, so the window
    // only hears of those that move the bar by a hundredth.
    if (!HandleAllocated() || Fill(value) == FShownFill)
        return;
    SendMessageA(FHandle, PBM_SETPOS, static_cast<WPARAM>(value), 0);
    FShownFill = Fill(value);
}
