#pragma once
// What a person and a screen reader do to a window, for test programs in and
// out of the wizard's process alike: keys as the keyboard sends them, and a
// control's accessible name as an assistive program asks for it.
#include <windows.h>
#include <oleacc.h>

#include "platform/uCom.h"

#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

// One key down and up (SendInput) with the modifiers held around it; the
// input reaches the focused window's queue a moment later.
inline void SendKey(WORD key, std::initializer_list<WORD> modifiers = {})
{
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(in);
    };
    for (WORD m : modifiers)
        add(m, false);
    add(key, false);
    add(key, true);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
        add(*it, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

inline std::string AnsiOf(BSTR text)
{
    const int length = static_cast<int>(SysStringLen(text));
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text, length, result.data(), n, nullptr, nullptr);
    return result;
}

// The window's client object, then its name (and, if asked, role and value).
// COM must be initialised on the calling thread.
inline std::string AccessibleName(HWND window, LONG* role = nullptr, std::string* value = nullptr)
{
    platform::TComPtr<IAccessible> acc;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
            acc.ReceiveVoid())) ||
        !acc)
        return "<no object>";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::string result = "<no name>";
    if (SUCCEEDED(acc->get_accName(self, &name)) && name) {
        result = AnsiOf(name);
        SysFreeString(name);
    }
    if (role) {
        VARIANT r;
        VariantInit(&r);
        *role = SUCCEEDED(acc->get_accRole(self, &r)) && r.vt == VT_I4 ? r.lVal : -1;
    }
    if (value) {
        BSTR v = nullptr;
        if (SUCCEEDED(acc->get_accValue(self, &v)) && v) {
            *value = AnsiOf(v);
            SysFreeString(v);
        }
    }
    return result;
}
