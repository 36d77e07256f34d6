#pragma once
// Forms, the application object and the screen.
#include "uControls.h"
#include "uModal.h"
#include "platform/uCom.h"

#include <memory>

// Modal results; also the values MessageBoxA returns for the same buttons.
using TModalResult = int;
inline constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
                              mrIgnore = 5, mrYes = 6, mrNo = 7;

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum class TPosition { poDesigned, poScreenCenter };
enum class TCloseAction { caNone, caHide, caFree };

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;

// A top-level window. Its children are laid out in its client area, whose
// size (ClientWidth × ClientHeight) is what a design states.
class TForm : public TWinControl {
    RT_PUBLISHED(TForm, TWinControl, StrProp<&TForm::Caption, &TForm::SetCaption>("Caption"),
        OtherProp("ClientWidth"), OtherProp("ClientHeight"), OtherProp("BorderStyle"),
        OtherProp("Position"), ObjProp<&TForm::Font>("Font"), OtherProp("OnCreate"),
        OtherProp("OnClose"))
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    int ClientWidth() const { return FClientWidth; }
    int ClientHeight() const { return FClientHeight; }
    void SetClientWidth(int width);
    void SetClientHeight(int height);
    void GetClientSize(int& width, int& height) const override;

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle style) { FBorderStyle = style; }
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition position) { FPosition = position; }

    // Shows the form (creating its window and every child window).
    void ShowForm();
    // Shows the form modally and returns its modal result. Tests answer it
    // through the modal seam of uDialogs.h.
    virtual TModalResult ShowModal();
    // Closes the form: hides it; closing the application's main form ends the
    // message loop.
    void Close();
    bool Modal() const { return FModal; }
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult result) { FModalResult = result; }

    TWinControl* ActiveControl() const { return FActiveControl; }
    // Whether this is the active window of its thread.
    bool Active() const;
    // The control of this form that has the focus; null when none has (the
    // form itself may).
    TWinControl* FocusedControl() const;
    void SetActiveControl(TWinControl* control);

    // Enter, Escape, Tab and (on a radio button) the arrow keys on a control
    // of this form; true when handled.
    virtual bool DialogKey(unsigned short key, TShiftState shift);
    // Alt + a character: the shown, enabled control whose caption marks that
    // character with "&" is clicked (a button, check box or radio button) or,
    // for a label, the control it names is focused. True when one was found.
    virtual bool DialogChar(char key);

    TNotifyEvent OnCreate;
    TCloseEvent OnClose;

    // The DPI the form is laid out for: 96 as designed, the screen's once
    // its window exists. Every position, size and font is the designed
    // 96-DPI figure scaled to it.
    int PixelsPerInch() const { return FPixelsPerInch; }
    // Lays the form out for `dpi` (its window, when there is one, keeps
    // its place; WM_DPICHANGED moves it to where the system suggests).
    void ScaleForDpi(int dpi);

    TMessageResult WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void InitializeWnd() override;
    void Paint(void* dc) override;
    void ChangeScale(int fromDpi, int toDpi) override;
    // After every new DPI: for forms that lay themselves out from their contents.
    virtual void DpiChanged() {}
    bool IsFocusRoot() const override { return true; }
    void ControlFocused(TWinControl* control) override { FActiveControl = control; }
    void ControlRemoved(TControl* control) override;

public:
    void SetVisible(bool visible) override;

private:
    // The control clicked by Enter or Escape from anywhere on the form, when
    // it can take the focus.
    TWinControl* FindKeyButton(unsigned short key) const;
    void Centre();
    // The window's outer size follows the client size; children follow it.
    void SetClientSize(int width, int height);
    // Sizes the window so that its client area is exactly the designed one.
    void FitWindowToClient(bool centre);

    int FClientWidth = 0, FClientHeight = 0;
    int FPixelsPerInch = 96;
    TDesignFigures<2> FDesignClient; // client width, height
    TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
    TPosition FPosition = TPosition::poDesigned;
    TModalResult FModalResult = mrNone;
    bool FModal = false;
    TWinControl* FActiveControl = nullptr;
};

// The form a control lies on, or null.
TForm* GetParentForm(const TControl* control);

using TExceptionEvent = std::function<void(TObject* sender, const std::exception& error)>;

class TApplication : public TComponent {
    RT_PUBLISHED(TApplication, TComponent, StrProp<&TApplication::Title, &TApplication::SetTitle>("Title"))
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    // Registers the window classes and common controls, and initialises COM
    // for this (the UI) thread as a single-threaded apartment.
    void Initialize();

    AnsiString Title() const { return FTitle; }
    void SetTitle(const AnsiString& title) { FTitle = title; }

    // Creates a form owned by the application; the first becomes the main form.
    template <class T> T* CreateForm(T*& reference)
    {
        reference = nullptr;
        T* form = new T(this);
        reference = form;
        if (!FMainForm)
            FMainForm = form;
        return form;
    }
    TForm* MainForm() const { return FMainForm; }
    void SetMainForm(TForm* form) { FMainForm = form; }

    // Shows the main form and runs the message loop until it is closed.
    void Run();
    // Handles every pending message, then returns.
    void ProcessMessages();
    // Waits for one message and handles it.
    void HandleMessage();
    void Terminate();
    bool Terminated() const { return FTerminated; }

    // The report of an exception that escaped an event handler: a message box
    // with the exception's message, captioned with the title. OnException
    // replaces it.
    void HandleException(TObject* sender, const std::exception& error);
    TExceptionEvent OnException;

    // MessageBoxA owned by the active form, through the modal seam.
    int MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags);

private:
    bool ProcessMessage();

    AnsiString FTitle;
    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    bool FInitialized = false;
    // Ends after the forms, which the destructor deletes first.
    std::unique_ptr<platform::TComApartment> FComApartment;
};

class TScreen : public TComponent {
    RT_CLASS(TScreen, TComponent)
public:
    explicit TScreen(TComponent* owner);

    TCursor Cursor() const { return ProgramCursor(); }
    void SetCursor(TCursor cursor);
    // The form that is (or was last) active; null when none is showing.
    TForm* ActiveForm() const;
    int Width() const;
    int Height() const;

    int FormCount() const { return static_cast<int>(FForms.size()); }
    TForm* Forms(int index) const { return FForms.at(static_cast<size_t>(index)); }

private:
    friend class TForm;
    void AddForm(TForm* form);
    void RemoveForm(TForm* form);
    void FormActivated(TForm* form);

    std::vector<TForm*> FForms;
    TForm* FActiveForm = nullptr;
};

// MessageBox flags, as MessageBoxA takes them.
inline constexpr unsigned mbfOK = 0x0000, mbfYesNo = 0x0004, mbfIconError = 0x0010,
                          mbfIconQuestion = 0x0020, mbfIconWarning = 0x0030,
                          mbfIconInformation = 0x0040, mbfSystemModal = 0x1000;

extern TApplication* const Application;
extern TScreen* const Screen;
