#include "uWin.h"

#include "uDialogs.h"
#include "uExtCtrls.h"
#include "uStdCtrls.h"
#include "runtime/uResStrings.h"

#include <shlobj.h>

#include <algorithm>

using namespace ui_detail;

namespace {

// The dialog's icon: a STATIC showing one of the system icons, loaded at the
// size the dialog gives it (32 pixels at 96 DPI, more on finer screens).
class TMessageIcon : public TWinControl {
    RT_CLASS(TMessageIcon, TWinControl)
public:
    TMessageIcon(TComponent* owner, LPCSTR icon) : TWinControl(owner), FIcon(icon)
    {
        FInTabOrder = false;
        FWidth = 32;
        FHeight = 32;
    }
    ~TMessageIcon() override { DestroyHandle(); }

protected:
    void CreateParams(TCreateParams& p) override
    {
        TWinControl::CreateParams(p);
        p.WinClassName = "STATIC";
        p.Style |= SS_ICON | SS_CENTERIMAGE;
    }
    void InitializeWnd() override { ShowImage(); }
    void BoundsChanged() override
    {
        TWinControl::BoundsChanged();
        if (FHandle && FImageSize != FWidth)
            ShowImage();
    }

private:
    void ShowImage()
    {
        TIconObject image(LoadImageA(nullptr, FIcon, IMAGE_ICON, FWidth, FHeight, LR_DEFAULTCOLOR));
        SendMessageA(FHandle, STM_SETICON, reinterpret_cast<WPARAM>(image ? image.Get() : LoadIconA(nullptr, FIcon)), 0);
        // The control shows the new icon now: the old one may go.
        FImage = std::move(image);
        FImageSize = FWidth;
        SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LPCSTR FIcon;
    TIconObject FImage; // the shared system icon when empty
    int FImageSize = 0;
};
} // namespace

namespace {
// The message dialog lays itself out from its text, at whatever DPI it shows.
class TMessageForm : public TForm {
    RT_CLASS(TMessageForm, TForm)
public:
    TMessageForm(const AnsiString& message, bool withIcon) : TForm(nullptr), FMessage(message), FWithIcon(withIcon) {}

    void Layout()
    {
        const int dpi = PixelsPerInch();
        const auto px = [dpi](int v) { return Scaled(v, dpi); };
        const int margin = px(8), spacing = px(10), buttonW = px(75), buttonH = px(25), buttonGap = px(6),
                  iconSize = px(32);
        // Wrap at half the screen, as wide messages are hard to read.
        SIZE text = MeasureText(FMessage, *Font(), Screen->Width() / 2, DT_NOPREFIX);
        const int textLeft = margin + (FWithIcon ? iconSize + spacing : 0);
        const int count = static_cast<int>(FButtons.size());
        const int rowWidth = count * buttonW + std::max(0, count - 1) * buttonGap;
        const int bodyH = std::max(FWithIcon ? iconSize : 0, static_cast<int>(text.cy));
        SetClientWidth(std::max(textLeft + static_cast<int>(text.cx) + margin, rowWidth + 2 * margin));
        SetClientHeight(margin + bodyH + spacing + buttonH + margin);
        if (FIcon)
            FIcon->SetBounds(margin, margin, iconSize, iconSize);
        if (FLabel)
            FLabel->SetBounds(textLeft, margin, text.cx, text.cy);
        int x = (ClientWidth() - rowWidth) / 2;
        for (TButton* button : FButtons) {
            button->SetBounds(x, margin + bodyH + spacing, buttonW, buttonH);
            x += buttonW + buttonGap;
        }
    }

    TWinControl* FIcon = nullptr;
    TLabel* FLabel = nullptr;
    std::vector<TButton*> FButtons;

protected:
    void DpiChanged() override { Layout(); }

private:
    AnsiString FMessage;
    bool FWithIcon;
};
} // namespace

std::unique_ptr<TForm> CreateMessageDialog(const AnsiString& message, TMsgDlgType type, TMsgDlgButtons buttons)
{
    LPCSTR icon = nullptr;
    switch (type) {
    case TMsgDlgType::mtWarning: icon = IDI_WARNING; break;
    case TMsgDlgType::mtError: icon = IDI_ERROR; break;
    case TMsgDlgType::mtInformation: icon = IDI_INFORMATION; break;
    case TMsgDlgType::mtConfirmation: icon = IDI_QUESTION; break;
    case TMsgDlgType::mtCustom: break;
    }
    auto form = std::make_unique<TMessageForm>(message, icon != nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetPosition(TPosition::poScreenCenter);
    switch (type) {
    case TMsgDlgType::mtWarning: form->SetCaption(LoadResString(rs::SMsgDlgWarning)); break;
    case TMsgDlgType::mtError: form->SetCaption(LoadResString(rs::SMsgDlgError)); break;
    case TMsgDlgType::mtInformation: form->SetCaption(LoadResString(rs::SMsgDlgInformation)); break;
    case TMsgDlgType::mtConfirmation: form->SetCaption(LoadResString(rs::SMsgDlgConfirm)); break;
    case TMsgDlgType::mtCustom: break;
    }

    struct TButtonKind {
        TMsgDlgBtn Kind;
        const TResString& Caption;
        const char* Name;
        TModalResult Result;
    };
    static const TButtonKind kinds[] = {{mbYes, rs::SMsgDlgYes, "Yes", mrYes}, {mbNo, rs::SMsgDlgNo, "No", mrNo},
        {mbOK, rs::SMsgDlgOK, "OK", mrOk}, {mbCancel, rs::SMsgDlgCancel, "Cancel", mrCancel}};

    if (icon) {
        auto* image = new TMessageIcon(form.get(), icon);
        image->SetName("Image");
        image->SetParent(form.get());
        form->FIcon = image;
    }
    auto* label = new TLabel(form.get());
    label->SetName("Message");
    label->SetShowAccelChar(false);
    label->SetWordWrap(true);
    label->SetAutoSize(false);
    label->SetParent(form.get());
    label->SetCaption(message);
    form->FLabel = label;

    const unsigned cancelKind = (buttons & mbCancel) ? mbCancel : (buttons & mbNo) ? mbNo : mbOK;
    bool first = true;
    for (const auto& k : kinds) {
        if (!(buttons & k.Kind))
            continue;
        auto* button = new TButton(form.get());
        button->SetName(k.Name);
        button->SetCaption(LoadResString(k.Caption));
        button->SetModalResult(k.Result);
        button->SetParent(form.get());
        if (first) {
            button->SetDefault(true);
            form->SetActiveControl(button);
            first = false;
        }
        if (k.Kind == cancelKind)
            button->SetCancel(true);
        form->FButtons.push_back(button);
    }
    form->Layout();
    return form;
}

TModalResult MessageDlg(const AnsiString& message, TMsgDlgType type, TMsgDlgButtons buttons)
{
    auto dialog = CreateMessageDialog(message, type, buttons);
    return dialog->ShowModal();
}

namespace {
int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM data)
{
    if (msg == BFFM_INITIALIZED && data)
        SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}
} // namespace

bool BrowseForFolder(TWindowHandle owner, const AnsiString& title, AnsiString& folder)
{
    TModalRequest request{TModalKind::BrowseFolder};
    request.Text = title;
    request.Owner = owner;
    request.Folder = folder;
    if (auto answer = AskModalResponder(request)) {
        if (*answer != mrOk)
            return false;
        folder = request.Folder;
        return true;
    }
    char name[MAX_PATH] = {};
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pszDisplayName = name;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(folder.c_str());
    const platform::win::TPidl pidl(SHBrowseForFolderA(&info));
    if (!pidl)
        return false;
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(pidl.Get(), path))
        return false;
    folder = path;
    return true;
}
