#pragma once
// Whether the wizard's texts fit: no label's drawn text runs into another
// control, and no text is cut off by its own control or its page. Measured
// in each control's own font, so it holds for every language and DPI.
#include "setup/ufrmMain.h"
#include "tests/ui/uUiTestKit.h"
#include "platform/uWinOwners.h"
#include "ui/uStdCtrls.h"

#include <gtest/gtest.h>

#include <string>

namespace layout_fit {

inline std::string Describe(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

// The rectangle `text` covers when the control draws it in its font:
// wrapped to the control's width for a word-wrapping label, on one line
// otherwise, from the control's left edge (or after a check mark).
inline RECT DrawnText(TWinControl& control, const RECT& box, int textLeft)
{
    HWND h = control.Handle();
    const std::string text = WindowText(h);
    const platform::win::TWindowDc dc = platform::win::GetWindowDc(h);
    const platform::win::TSelection font =
        platform::win::Select(dc.Get(), reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)));
    RECT r{0, 0, box.right - box.left - textLeft, 0};
    UINT flags = DT_CALCRECT | DT_EXPANDTABS;
    if (auto* label = dynamic_cast<TLabel*>(&control); label && label->WordWrap())
        flags |= DT_WORDBREAK;
    else
        flags |= DT_SINGLELINE;
    DrawTextA(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r, flags);
    return RECT{box.left + textLeft, box.top, box.left + textLeft + (r.right - r.left), box.top + (r.bottom - r.top)};
}

// Where a check box's or radio button's text starts: after the mark and
// the gap the system puts between them.
inline int MarkWidth(HWND h)
{
    const int dpi = MulDiv(96, -WindowFont(h).lfHeight, 11); // the font is 8 points at every DPI
    return MulDiv(13 + 4, dpi, 96);
}

// `area`: the room the parent gives its children (a page that is not
// showing has no size of its own; it gets the notebook's when it shows).
inline void ExpectChildrenFit(TWinControl& parent, const RECT& area, const std::string& where)
{
    for (int i = 0; i < parent.ControlCount(); ++i) {
        auto* control = dynamic_cast<TWinControl*>(parent.Controls(i));
        if (!control || !control->Visible() || WindowText(control->Handle()).empty())
            continue;
        const bool isLabel = dynamic_cast<TLabel*>(control) != nullptr;
        const bool hasMark = dynamic_cast<TButtonControl*>(control) != nullptr;
        const bool isButton = dynamic_cast<TButton*>(control) != nullptr;
        if (!isLabel && !hasMark && !isButton)
            continue; // edits and lists scroll their text
        const RECT box = RectInParent(control->Handle());
        const RECT text = DrawnText(*control, box, hasMark ? MarkWidth(control->Handle()) : 0);
        const std::string what = where + " " + control->Name() + " \"" + WindowText(control->Handle()) + "\" " +
                                 Describe(text) + " in " + Describe(box);
        // Clipped: the text needs more room than its control or its page has.
        const int room = box.right - box.left - (isButton ? 2 * MulDiv(3, control->CurrentDpi(), 96) : 0);
        EXPECT_LE(text.right - text.left, room - (hasMark ? MarkWidth(control->Handle()) : 0)) << "clipped: " << what;
        EXPECT_LE(text.bottom - text.top, box.bottom - box.top) << "clipped: " << what;
        EXPECT_LE(text.right, area.right) << "past the page's edge: " << what;
        if (!isLabel)
            continue;
        // Runs into: the label's text covers part of another control.
        for (int k = 0; k < parent.ControlCount(); ++k) {
            auto* other = dynamic_cast<TWinControl*>(parent.Controls(k));
            if (!other || other == control || !other->Visible())
                continue;
            const RECT otherBox = RectInParent(other->Handle());
            RECT overlap;
            EXPECT_FALSE(IntersectRect(&overlap, &text, &otherBox))
                << what << " runs into " << other->Name() << " " << Describe(otherBox);
        }
    }
}

// Every page and the button bar, in the language and at the DPI showing.
inline void ExpectTextsFit(TfrmMain& form, const std::string& language)
{
    RECT page, bar;
    GetClientRect(form.Notebook1->Handle(), &page);
    GetClientRect(form.ButtonBar1->Handle(), &bar);
    for (int i = 0; i < form.Notebook1->PageCount(); ++i)
        ExpectChildrenFit(*form.Notebook1->Page(i), page, language + " page " + std::to_string(i));
    ExpectChildrenFit(*form.ButtonBar1, bar, language + " button bar");
}

} // namespace layout_fit
