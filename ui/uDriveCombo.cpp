#include "uWin.h"

#include "uDriveCombo.h"

#include <dbt.h>
#include <shellapi.h>

#include <cctype>
#include <cstring>

using namespace ui_detail;

TDriveCombo::TDriveCombo(TComponent* owner) : TComboBox(owner)
{
    FStyle = TComboBoxStyle::csOwnerDrawFixed;
    FItemHeight = 16;
    ReadDrives();
}

// The window goes before the icons it draws.
TDriveCombo::~TDriveCombo() { DestroyHandle(); }

void TDriveCombo::ReadDrives()
{
    char roots[512] = {};
    DWORD n = GetLogicalDriveStringsA(sizeof(roots) - 1, roots);
    if (n >= sizeof(roots))
        n = 0; // more drives than letters: cannot happen, but never read past the buffer
    FIcons.clear();
    FLetters.clear();
    TStringList names;
    for (const char* root = roots; root < roots + n && *root; root += std::strlen(root) + 1) {
        if (GetDriveTypeA(root) != DRIVE_FIXED)
            continue;
        SHFILEINFOA info{};
        DWORD_PTR ok = SHGetFileInfoA(root, 0, &info, sizeof(info), SHGFI_DISPLAYNAME | SHGFI_ICON | SHGFI_SMALLICON);
        AnsiString name = ok && info.szDisplayName[0] ? AnsiString(info.szDisplayName) : AnsiString(root);
        FLetters += static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
        FIcons.emplace_back(ok ? info.hIcon : nullptr);
        names.Add(name);
    }
    FItems->Assign(names);
}

void TDriveCombo::Rebuild()
{
    const char keep = Drive();
    ReadDrives();
    FItemIndex = -1;
    if (HandleAllocated())
        SendMessageA(FHandle, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetDrive(keep);
    if (ItemIndex() < 0 && HandleAllocated())
        SelectDefault();
    Invalidate();
}

char TDriveCombo::Drive() const
{
    const int index = ItemIndex();
    return index >= 0 && index < static_cast<int>(FLetters.size()) ? FLetters[static_cast<size_t>(index)] : '\0';
}

void TDriveCombo::SetDrive(char letter)
{
    if (!letter)
        return;
    const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const auto pos = FLetters.find(up);
    if (pos != AnsiString::npos)
        SetItemIndex(static_cast<int>(pos));
}

void TDriveCombo::CreateParams(TCreateParams& p)
{
    TComboBox::CreateParams(p);
}

void TDriveCombo::InitializeWnd()
{
    TComboBox::InitializeWnd();
    if (ItemIndex() < 0)
        SelectDefault();
}

void TDriveCombo::SelectDefault()
{
    if (FLetters.empty())
        return;
    // Nothing chosen yet: the drive of the current folder, else the first.
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof(dir), dir);
    const auto pos = FLetters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(dir[0]))));
    SetItemIndex(dir[0] && dir[1] == ':' && pos != AnsiString::npos ? static_cast<int>(pos) : 0);
}

bool TDriveCombo::DrawItem(void* data)
{
    auto* dis = static_cast<DRAWITEMSTRUCT*>(data);
    HDC dc = dis->hDC;
    RECT r = dis->rcItem;
    const bool selected = (dis->itemState & ODS_SELECTED) != 0;
    FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int index = static_cast<int>(dis->itemID);
    if (index >= 0 && index < FItems->Count()) {
        // The small icon and the gap after it grow with the screen's DPI.
        const int dpi = CurrentDpi(), icon = Scaled(16, dpi);
        int x = r.left + Scaled(2, dpi);
        if (index < static_cast<int>(FIcons.size()) && FIcons[static_cast<size_t>(index)])
            DrawIconEx(dc, x, r.top + (r.bottom - r.top - icon) / 2,
                static_cast<HICON>(FIcons[static_cast<size_t>(index)].Get()), icon, icon, 0, nullptr, DI_NORMAL);
        x += icon + Scaled(FTextOffset, dpi);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        const AnsiString text = FItems->Get(index);
        RECT tr{x, r.top, r.right, r.bottom};
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (dis->itemState & ODS_FOCUS)
        DrawFocusRect(dc, &r);
    return true;
}

TMessageResult TDriveCombo::WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (msg == WM_DEVICECHANGE && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && lParam &&
        reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam)->dbch_devicetype == DBT_DEVTYP_VOLUME) {
        Rebuild();
        return TRUE;
    }
    return TComboBox::WndProc(msg, wParam, lParam);
}
