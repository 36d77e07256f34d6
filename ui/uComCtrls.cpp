#include "uWin.h"

#include "uComCtrls.h"

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
    if (HandleAllocated())
        SendMessageA(FHandle, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}
