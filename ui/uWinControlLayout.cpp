// TWinControl: keys, fonts and colours passed down, bounds, alignment, the
// tab order and the focus.
#include "uWin.h"

#include <algorithm>

using namespace ui_detail;

// --- keys, fonts and colours ---------------------------------------------------

void TWinControl::KeyDown(unsigned short& key, TShiftState shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
}

bool TWinControl::WantsDialogKey(unsigned short key) { return false; }

void TWinControl::TextChanged()
{
    if (FHandle)
        SetWindowTextA(FHandle, FText.c_str());
}

void TWinControl::FontChanged()
{
    if (FHandle) {
        SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
        Invalidate();
    }
    for (TControl* c : FControls)
        c->ParentFontChanged();
}

void TWinControl::ColorChanged()
{
    Invalidate();
    for (TControl* c : FControls)
        c->ParentColorChanged();
}

void TWinControl::GetClientSize(int& width, int& height) const
{
    width = FWidth;
    height = FHeight;
}

void TWinControl::SetBounds(int left, int top, int width, int height)
{
    int oldW, oldH;
    GetClientSize(oldW, oldH);
    TControl::SetBounds(left, top, width, height);
    int newW, newH;
    GetClientSize(newW, newH);
    if (newW != oldW || newH != oldH) {
        ResizeChildren(oldW, oldH);
        AlignControls();
    }
}

void TWinControl::BoundsChanged()
{
    if (FHandle)
        MoveWindow(FHandle, FLeft, FTop, FWidth, FHeight + WindowExtraHeight(), TRUE);
}

void TWinControl::ResizeChildren(int oldWidth, int oldHeight)
{
    if (oldWidth <= 0 && oldHeight <= 0)
        return; // first sizing: nothing was anchored yet
    int w, h;
    GetClientSize(w, h);
    const int dx = w - oldWidth, dy = h - oldHeight;
    for (TControl* c : FControls) {
        if (c->Align() != TAlign::alNone)
            continue;
        int l = c->Left(), t = c->Top(), cw = c->Width(), ch = c->Height();
        if (c->Anchors() & akRight) {
            if (c->Anchors() & akLeft)
                cw += dx;
            else
                l += dx;
        }
        if (c->Anchors() & akBottom) {
            if (c->Anchors() & akTop)
                ch += dy;
            else
                t += dy;
        }
        c->SetBounds(l, t, cw, ch);
    }
}

void TWinControl::ChangeScale(int fromDpi, int toDpi)
{
    TControl::ChangeScale(fromDpi, toDpi);
    ChangeChildrenScale(fromDpi, toDpi);
}

void TWinControl::ChangeChildrenScale(int fromDpi, int toDpi)
{
    for (TControl* c : std::vector<TControl*>(FControls))
        c->ChangeScale(fromDpi, toDpi);
}

void TWinControl::AlignAll()
{
    AlignControls();
    for (TControl* c : std::vector<TControl*>(FControls))
        if (auto* win = dynamic_cast<TWinControl*>(c))
            win->AlignAll();
}

void TWinControl::AlignControls()
{
    ++FAligning;
    int w, h;
    GetClientSize(w, h);
    int left = 0, top = 0, right = w, bottom = h;
    for (TAlign pass : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient})
        for (TControl* c : FControls) {
            if (c->Align() != pass || !c->Visible())
                continue;
            switch (pass) {
            case TAlign::alTop:
                c->SetBounds(left, top, right - left, c->Height());
                top += c->Height();
                break;
            case TAlign::alBottom:
                c->SetBounds(left, bottom - c->Height(), right - left, c->Height());
                bottom -= c->Height();
                break;
            case TAlign::alLeft:
                c->SetBounds(left, top, c->Width(), bottom - top);
                left += c->Width();
                break;
            case TAlign::alRight:
                c->SetBounds(right - c->Width(), top, c->Width(), bottom - top);
                right -= c->Width();
                break;
            default:
                c->SetBounds(left, top, right - left, bottom - top);
                break;
            }
        }
    --FAligning;
}

int TWinControl::TabOrder() const
{
    if (!Parent())
        return -1;
    auto& list = Parent()->FTabList;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order)
{
    if (!Parent() || !FInTabOrder)
        return;
    auto& list = Parent()->FTabList;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    order = std::clamp(order, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + order, this);
}

void TWinControl::SetTabStop(bool tabStop)
{
    FTabStop = tabStop;
    if (FHandle) {
        LONG_PTR style = GetWindowLongPtrA(FHandle, GWL_STYLE);
        SetWindowLongPtrA(FHandle, GWL_STYLE, tabStop ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
    }
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const
{
    for (TWinControl* c : FTabList) {
        if (c->FTabStop)
            list.push_back(c);
        c->GetTabOrderList(list);
    }
}

bool TWinControl::CanFocus() const
{
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled())
            return false;
    return FocusRoot() != nullptr;
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

bool TWinControl::ContainsFocus() const
{
    HWND focus = GetFocus();
    return FHandle && focus && (focus == FHandle || IsChild(FHandle, focus));
}

void TWinControl::SetFocus()
{
    if (TWinControl* root = FocusRoot(); root && root != this)
        root->ControlFocused(this);
    if (FHandle && CanFocus())
        ::SetFocus(FHandle);
}

void TWinControl::SelectNext(TWinControl* current, bool forward)
{
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    // The current control keeps its place in the cycle even when Tab would
    // pass it by (a radio button focused without being checked); Tab leaves
    // its group rather than moving inside it.
    const TWinControl* group = current ? current->TabGroup() : nullptr;
    list.erase(std::remove_if(list.begin(), list.end(),
                   [current, group](TWinControl* c) {
                       return c != current &&
                           (!c->CanFocus() || c->SkippedByTab() || (group && c->TabGroup() == group));
                   }),
        list.end());
    auto it = std::find(list.begin(), list.end(), current);
    if (it != list.end() && list.size() == 1)
        return;
    if (list.empty())
        return;
    size_t index;
    if (it == list.end())
        index = forward ? 0 : list.size() - 1;
    else {
        size_t pos = static_cast<size_t>(it - list.begin());
        index = forward ? (pos + 1) % list.size() : (pos + list.size() - 1) % list.size();
    }
    list[index]->SetFocus();
}

bool TWinControl::SelectFirst()
{
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    for (TWinControl* c : list)
        if (c->CanFocus() && !c->SkippedByTab()) {
            c->SetFocus();
            return true;
        }
    return false;
}
