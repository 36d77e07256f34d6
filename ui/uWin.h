#pragma once
// Internal to ui/: the Win32 side shared by the control units.
#include <windows.h>
#include <commctrl.h>

// Names the framework uses for its own members.
#undef MessageBox
#undef GetObject
#undef DeleteFile

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

#include "uControls.h"
#include "platform/uWinOwners.h"

#include <string>

namespace ui_detail {
// Registers the framework's window class and the common controls once.
void EnsureClasses();
extern const char* const FrameworkClass;
// Runs a control's window procedure; an exception that escapes goes to the
// exception report, never through Win32 frames.
LRESULT Dispatch(TWinControl* control, UINT msg, WPARAM wParam, LPARAM lParam);
// The size of `text` drawn with `font`; wrapped to `width` when it is > 0.
// Pixels per inch: of the system (where a new window opens), of a window's
// monitor; the frame around a client rectangle at that DPI.
int SystemDpi();
int WindowDpi(HWND window);
void AdjustRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);
// A 96-DPI figure at `dpi`.
inline int Scaled(int value, int dpi) { return MulDiv(value, dpi, 96); }

// Answers WM_GETOBJECT for the client object of `window`: the system's own
// accessible object, named `name`. 0 when none could be made.
LRESULT AnswerAccessibleObject(HWND window, WPARAM wParam, const std::wstring& name);
// The control a window belongs to, kept with the window.
void Attach(HWND hwnd, TWinControl* control);
void Detach(HWND hwnd);
TWinControl* Find(HWND hwnd);
// The window procedure that subclasses a standard window class.
WNDPROC SubclassProc();
// The control whose window is being created on this thread, if any.
TWinControl*& Creating();
// A caption as a control with prefix processing draws it, without its marks.
AnsiString ShownText(const AnsiString& caption);
SIZE MeasureText(const AnsiString& text, const TFont& font, int width, UINT extraFlags = 0);
} // namespace ui_detail
