#include "uWin.h"

#include "platform/uSystemProc.h"

// The DPI calls of Windows 10 are looked up at run time: the wizard also
// starts on systems without them, which have one DPI for everything.
namespace ui_detail {

namespace {
// Looked up on every call (a lookup costs far less than the work around
// it), so that tests can take the calls away.
template <class F> F User32(const char* name) { return platform::SystemFunction<F>("user32.dll", name); }

int ScreenDpi()
{
    const platform::win::TWindowDc dc = platform::win::GetWindowDc(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}
} // namespace

int SystemDpi()
{
    const auto getDpiForSystem = User32<UINT(WINAPI*)()>("GetDpiForSystem");
    if (getDpiForSystem)
        if (const UINT dpi = getDpiForSystem())
            return static_cast<int>(dpi);
    return ScreenDpi();
}

int WindowDpi(HWND window)
{
    const auto getDpiForWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (getDpiForWindow && window)
        if (const UINT dpi = getDpiForWindow(window))
            return static_cast<int>(dpi);
    return SystemDpi();
}

void AdjustRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi)
{
    const auto adjust =
        User32<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (!adjust || !adjust(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

} // namespace ui_detail
