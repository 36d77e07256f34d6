#include "uWin.h"

#include "uValidateEdit.h"
#include "runtime/uSysUtils.h"

using namespace ui_detail;

TValidateEdit::TValidateEdit(TComponent* owner) : TEdit(owner) { SetAlignment(TAlignment::taRightJustify); }

bool TValidateEdit::IsValidChar(char key, const AnsiString& text, int position) const
{
    if (static_cast<unsigned char>(key) < 32)
        return true;
    if (FCheckChars.find(key) != AnsiString::npos)
        return true;
    return (key == '+' || key == '-') && position == 0 && text.find_first_of("+-") == AnsiString::npos;
}

int TValidateEdit::AsInteger() const
{
    int value = 0;
    return TryStrToInt(Trim(Text()), value) ? value : 0;
}

void TValidateEdit::SetAsInteger(int value) { SetText(IntToStr(value)); }

TMessageResult TValidateEdit::WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    switch (msg) {
    case WM_CHAR:
        if (!IsValidChar(static_cast<char>(wParam), Text(), SelStart())) {
            MessageBeep(0);
            return 0;
        }
        break;
    case WM_PASTE: {
        // Pasting goes through the same check as typing, character by character.
        AnsiString clip;
        if (OpenClipboard(FHandle)) {
            if (HANDLE data = GetClipboardData(CF_TEXT))
                if (auto* p = static_cast<const char*>(GlobalLock(data))) {
                    clip = p;
                    GlobalUnlock(data);
                }
            CloseClipboard();
        }
        DWORD start = 0, end = 0;
        SendMessageA(FHandle, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        AnsiString text = Text();
        text.erase(start, end - start);
        AnsiString accepted;
        int pos = static_cast<int>(start);
        for (char c : clip)
            if (static_cast<unsigned char>(c) >= 32 && IsValidChar(c, text, pos)) {
                text.insert(static_cast<size_t>(pos), 1, c);
                accepted += c;
                ++pos;
            }
        SendMessageA(FHandle, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(accepted.c_str()));
        return 0;
    }
    }
    return TEdit::WndProc(msg, wParam, lParam);
}
