// The application (message loop, dialog keys, exception reports) and the
// screen.
#include "uWin.h"

#include "uForms.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <functional>

using namespace ui_detail;

namespace {
// The screen outlives the application: forms the application owns leave the
// screen's list when they go.
TScreen GScreen(nullptr);
TApplication GApplication(nullptr);
} // namespace

TApplication* const Application = &GApplication;
TScreen* const Screen = &GScreen;

// --- TApplication ---------------------------------------------------------------

TApplication::TApplication(TComponent* owner) : TComponent(owner)
{
    SetExceptionReport([](TObject* sender, const std::exception& error) { Application->HandleException(sender, error); });
}

TApplication::~TApplication()
{
    // Forms go while COM is still up: their controls may hold interfaces.
    while (ComponentCount() > 0)
        delete Components(ComponentCount() - 1);
}

void TApplication::Initialize()
{
    if (FInitialized)
        return;
    FInitialized = true;
    EnsureClasses();
    FComApartment = std::make_unique<platform::TComApartment>();
}

void TApplication::Run()
{
    if (FMainForm)
        FMainForm->ShowForm();
    while (!FTerminated)
        HandleMessage();
}

namespace {
// The framework control a message is for: its window's, or the nearest
// parent window's.
TWinControl* ControlOf(HWND window)
{
    TWinControl* control = nullptr;
    for (HWND h = window; h && !control; h = GetParent(h))
        control = TWinControl::FromHandle(h);
    return control;
}

bool IsArrowKey(WPARAM key) { return key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN; }

// True when the form took the key; a handler that throws is reported and
// counts as having taken it.
bool FormHandles(TForm* form, const std::function<bool(TForm&)>& handler)
{
    if (!form)
        return false;
    try {
        return handler(*form);
    } catch (const std::exception& e) {
        Application->HandleException(form, e);
        return true;
    }
}

// The keys that belong to the form rather than to the window they were
// typed in; true when the form handled the message.
bool RouteDialogMessage(const MSG& msg)
{
    const auto key = static_cast<unsigned short>(msg.wParam);
    if (msg.message == WM_KEYDOWN && (key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE)) {
        // Tab, Enter and Escape belong to the form unless the control wants them.
        if (TWinControl* control = ControlOf(msg.hwnd)) {
            const UINT mask = key == VK_TAB ? DLGC_WANTTAB : DLGC_WANTALLKEYS;
            MSG copy = msg;
            const bool wanted = control->WantsDialogKey(key) ||
                (control != GetParentForm(control) &&
                    (SendMessageA(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&copy)) & mask));
            const TShiftState shift = GetKeyState(VK_SHIFT) < 0 ? TShiftState(ssShift) : 0u;
            if (!wanted && FormHandles(GetParentForm(control), [&](TForm& f) { return f.DialogKey(key, shift); }))
                return true;
        }
    }
    // Arrow keys move inside a radio group, as in any dialog; the control
    // says whether they do.
    if (msg.message == WM_KEYDOWN && IsArrowKey(msg.wParam))
        if (TWinControl* control = TWinControl::FromHandle(msg.hwnd))
            if (FormHandles(GetParentForm(control), [&](TForm& f) { return f.DialogKey(key, 0); }))
                return true;
    // Alt + a caption's marked letter; the window would only beep at it.
    if (msg.message == WM_SYSCHAR)
        if (TWinControl* control = ControlOf(msg.hwnd))
            return FormHandles(GetParentForm(control),
                [&](TForm& f) { return f.DialogChar(static_cast<char>(msg.wParam)); });
    return false;
}
} // namespace

bool TApplication::ProcessMessage()
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    if (RouteDialogMessage(msg))
        return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void TApplication::ProcessMessages()
{
    while (ProcessMessage()) {
    }
}

void TApplication::HandleMessage()
{
    if (!ProcessMessage())
        WaitMessage();
}

void TApplication::Terminate()
{
    if (!FTerminated)
        PostQuitMessage(0);
    FTerminated = true;
}

void TApplication::HandleException(TObject* sender, const std::exception& error)
{
    if (OnException) {
        OnException(sender, error);
        return;
    }
    const auto* e = dynamic_cast<const Exception*>(&error);
    MessageBox(e ? e->Message() : AnsiString(error.what()), FTitle, mbfOK | mbfIconError);
}

int TApplication::MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags)
{
    TForm* active = Screen->ActiveForm();
    HWND owner = active && active->HandleAllocated() ? active->WindowHandle() : nullptr;
    TModalRequest request{TModalKind::MessageBox};
    request.Caption = caption;
    request.Text = text;
    request.Flags = flags;
    request.Owner = owner;
    if (auto answer = AskModalResponder(request))
        return *answer;
    return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

// --- TScreen --------------------------------------------------------------------

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}

void TScreen::SetCursor(TCursor cursor)
{
    SetProgramCursor(cursor);
    ::SetCursor(LoadCursorA(nullptr, cursor == TCursor::crHourGlass ? IDC_WAIT : IDC_ARROW));
}

TForm* TScreen::ActiveForm() const { return FActiveForm; }

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

void TScreen::AddForm(TForm* form) { FForms.push_back(form); }

void TScreen::RemoveForm(TForm* form)
{
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
    if (FActiveForm == form)
        FActiveForm = nullptr;
}

void TScreen::FormActivated(TForm* form) { FActiveForm = form; }
