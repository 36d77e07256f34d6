#include "uWin.h"

#include "uDialogs.h"
#include "uExtCtrls.h"
#include "uStdCtrls.h"
#include "runtime/uResStrings.h"

#include <shlobj.h>

#include <algorithm>

using namespace ui_detail;

namespace {
TModalResponder GResponder;

// The dialog's icon: a STATIC showing one of the system icons.
class TMessageIcon : public TWinControl {
    RT_CLASS(TMessageIcon, TWinControl)
public:
    TMessageIcon(TComponent* owner, LPCSTR icon) : TWinControl(owner), FIcon(icon)
    {
        FInTabOrder = false;
        FWidth = 32;
        FHeight = 32;
    }

protected:
    void CreateParams(TCreateParams& p) override
    {
        TWinControl::CreateParams(p);
        p.WinClassName = "STATIC";
        p.Style |= SS_ICON;
    }
    void InitializeWnd() override
    {
        SendMessageA(FHandle, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, FIcon)), 0);
        SetWindowPos(FHandle, nullptr, FLeft, FTop, 32, 32, SWP_NOZORDER | SWP_NOACTIVATE);
    }

private:
    LPCSTR FIcon;
};
} // namespace

TModalResponder SetModalResponder(TModalResponder responder)
{
    TModalResponder previous = std::move(GResponder);
    GResponder = std::move(responder);
    return previous;
}

std::optional<int> AskModalResponder(TModalRequest& request)
{
    if (!GResponder)
        return std::nullopt;
    return GResponder(request);
}

std::unique_ptr<TForm> CreateMessageDialog(const AnsiString& message, TMsgDlgType type, TMsgDlgButtons buttons)
{
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetPosition(TPosition::poScreenCenter);

    LPCSTR icon = nullptr;
    switch (type) {
    case TMsgDlgType::mtWarning:
        form->SetCaption(LoadResString(rs::SMsgDlgWarning));
        icon = IDI_WARNING;
        break;
    case TMsgDlgType::mtError:
        form->SetCaption(LoadResString(rs::SMsgDlgError));
        icon = IDI_ERROR;
        break;
    case TMsgDlgType::mtInformation:
        form->SetCaption(LoadResString(rs::SMsgDlgInformation));
        icon = IDI_INFORMATION;
        break;
    case TMsgDlgType::mtConfirmation:
        form->SetCaption(LoadResString(rs::SMsgDlgConfirm));
        icon = IDI_QUESTION;
        break;
    case TMsgDlgType::mtCustom:
        break;
    }

    constexpr int margin = 8, spacing = 10, buttonW = 75, buttonH = 25, buttonGap = 6, iconSize = 32;
    // Wrap at half the screen, as wide messages are hard to read.
    SIZE text = MeasureText(message, *form->Font(), Screen->Width() / 2, DT_NOPREFIX);
    const int textLeft = margin + (icon ? iconSize + spacing : 0);

    struct TButtonKind {
        TMsgDlgBtn Kind;
        const TResString& Caption;
        const char* Name;
        TModalResult Result;
    };
    static const TButtonKind kinds[] = {{mbYes, rs::SMsgDlgYes, "Yes", mrYes}, {mbNo, rs::SMsgDlgNo, "No", mrNo},
        {mbOK, rs::SMsgDlgOK, "OK", mrOk}, {mbCancel, rs::SMsgDlgCancel, "Cancel", mrCancel}};
    int count = 0;
    for (const auto& k : kinds)
        if (buttons & k.Kind)
            ++count;
    const int rowWidth = count * buttonW + std::max(0, count - 1) * buttonGap;
    const int bodyH = std::max(icon ? iconSize : 0, static_cast<int>(text.cy));
    form->SetClientWidth(std::max(textLeft + static_cast<int>(text.cx) + margin, rowWidth + 2 * margin));
    form->SetClientHeight(margin + bodyH + spacing + buttonH + margin);

    if (icon) {
        auto* image = new TMessageIcon(form.get(), icon);
        image->SetName("Image");
        image->SetBounds(margin, margin, iconSize, iconSize);
        image->SetParent(form.get());
    }
    auto* label = new TLabel(form.get());
    label->SetName("Message");
    label->SetShowAccelChar(false);
    label->SetWordWrap(true);
    label->SetAutoSize(false);
    label->SetBounds(textLeft, margin, text.cx, text.cy);
    label->SetCaption(message);
    label->SetParent(form.get());

    const unsigned cancelKind = (buttons & mbCancel) ? mbCancel : (buttons & mbNo) ? mbNo : mbOK;
    int x = (form->ClientWidth() - rowWidth) / 2;
    bool first = true;
    for (const auto& k : kinds) {
        if (!(buttons & k.Kind))
            continue;
        auto* button = new TButton(form.get());
        button->SetName(k.Name);
        button->SetCaption(LoadResString(k.Caption));
        button->SetModalResult(k.Result);
        button->SetBounds(x, margin + bodyH + spacing, buttonW, buttonH);
        button->SetParent(form.get());
        if (first) {
            button->SetDefault(true);
            form->SetActiveControl(button);
            first = false;
        }
        if (k.Kind == cancelKind)
            button->SetCancel(true);
        x += buttonW + buttonGap;
    }
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

struct TPidl {
    LPITEMIDLIST Value = nullptr;
    ~TPidl() { CoTaskMemFree(Value); }
};
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
    TPidl pidl{SHBrowseForFolderA(&info)};
    if (!pidl.Value)
        return false;
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(pidl.Value, path))
        return false;
    folder = path;
    return true;
}
