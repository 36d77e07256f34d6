// The framework's controls on real windows: the model mirrored into the
// window, layout, z-order, focus, keys and the modal seam.
#include "tests/ui/uUiTestKit.h"
#include "ui/uComCtrls.h"
#include "ui/uDirectoryEdit.h"
#include "ui/uDriveCombo.h"
#include "ui/uExtCtrls.h"
#include "ui/uStdCtrls.h"
#include "ui/uValidateEdit.h"
#include "runtime/uSysUtils.h"
#include "runtime/uTypInfo.h"

#include <gtest/gtest.h>

#include <dbt.h>

#include <cstring>

namespace {

std::unique_ptr<TForm> MakeForm(int w = 300, int h = 200)
{
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetPosition(TPosition::poScreenCenter);
    form->SetClientWidth(w);
    form->SetClientHeight(h);
    return form;
}

template <class T> T* Add(TForm& owner, TWinControl* parent, int l, int t, int w, int h)
{
    auto* c = new T(&owner);
    c->SetBounds(l, t, w, h);
    c->SetParent(parent);
    return c;
}

TEST(Controls, ModelComesFirstAndTheWindowFollowsIt)
{
    auto form = MakeForm();
    auto* edit = Add<TEdit>(*form, form.get(), 10, 10, 100, 21);
    edit->SetText("before");
    auto* check = Add<TCheckBox>(*form, form.get(), 10, 40, 100, 17);
    check->SetChecked(true);
    check->SetEnabled(false);
    EXPECT_FALSE(edit->HandleAllocated());

    form->ShowForm();
    EXPECT_EQ(WindowText(edit->Handle()), "before");
    EXPECT_EQ(SendMessageA(check->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(check->Handle()));
    // The window's own changes are what the model reads back.
    SetWindowTextA(edit->Handle(), "typed");
    EXPECT_EQ(edit->Text(), "typed");
    edit->SetText("set");
    EXPECT_EQ(WindowText(edit->Handle()), "set");
    // Recreating the window keeps what the user typed.
    SetWindowTextA(edit->Handle(), "kept");
    form->DestroyHandle();
    EXPECT_EQ(edit->Text(), "kept");
    form->ShowForm();
    EXPECT_EQ(WindowText(edit->Handle()), "kept");
}

TEST(Controls, AlignAndAnchorsLayOutChildrenInTheClientArea)
{
    auto form = MakeForm(300, 200);
    auto* bottom = Add<TButtonBar>(*form, form.get(), 0, 0, 10, 40);
    bottom->SetAlign(TAlign::alBottom);
    auto* left = Add<TImage>(*form, form.get(), 0, 0, 50, 10);
    left->SetAlign(TAlign::alLeft);
    auto* rest = Add<TNotebook>(*form, form.get(), 0, 0, 10, 10);
    rest->SetAlign(TAlign::alClient);
    auto* right = Add<TButton>(*form, bottom, 220, 8, 75, 25);
    right->SetAnchors(akTop | akRight);
    form->ShowForm();
    RECT r = RectInParent(bottom->Handle());
    EXPECT_EQ(r.top, 160);
    EXPECT_EQ(r.right - r.left, 300);
    r = RectInParent(left->Handle());
    EXPECT_EQ(r.bottom - r.top, 160);
    r = RectInParent(rest->Handle());
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.right - r.left, 250);
    // Widening the form keeps the anchored button at its distance from the right.
    form->SetClientWidth(400);
    EXPECT_EQ(RectInParent(right->Handle()).left, 320);
    EXPECT_EQ(RectInParent(rest->Handle()).right, 400);
}

TEST(Controls, BringToFrontChangesTheWindowZOrderAndWhatAClickHits)
{
    auto form = MakeForm();
    auto* first = Add<TButton>(*form, form.get(), 10, 10, 75, 25);
    auto* second = Add<TButton>(*form, form.get(), 10, 10, 75, 25);
    form->ShowForm();
    POINT p{40, 20};
    EXPECT_EQ(ChildWindowFromPointEx(form->Handle(), p, CWP_SKIPINVISIBLE), second->Handle());
    first->BringToFront();
    EXPECT_EQ(GetWindow(form->Handle(), GW_CHILD), first->Handle());
    EXPECT_EQ(GetWindow(first->Handle(), GW_HWNDNEXT), second->Handle());
    EXPECT_EQ(ChildWindowFromPointEx(form->Handle(), p, CWP_SKIPINVISIBLE), first->Handle());
    EXPECT_EQ(form->Controls(form->ControlCount() - 1), first);
    // Tab order is its own matter.
    EXPECT_EQ(first->TabOrder(), 0);
    EXPECT_EQ(second->TabOrder(), 1);
}

TEST(Controls, LabelsSizeThemselvesOrWrapInTheirBox)
{
    auto form = MakeForm();
    auto* plain = Add<TLabel>(*form, form.get(), 5, 5, 0, 0);
    plain->SetCaption("Adres");
    auto* wrapped = new TLabel(form.get());
    wrapped->SetAutoSize(false);
    wrapped->SetWordWrap(true);
    wrapped->SetBounds(5, 30, 80, 40);
    wrapped->SetParent(form.get());
    wrapped->SetCaption("a text that is far too long for one line");
    form->ShowForm();
    const SIZE size = TextExtent(plain->Handle(), "Adres");
    const TEXTMETRICA tm = TextMetrics(plain->Handle());
    RECT r = RectInParent(plain->Handle());
    // The whole text fits, with at most a glyph's overhang to spare.
    EXPECT_GE(r.right - r.left, size.cx);
    EXPECT_LE(r.right - r.left, size.cx + 4);
    EXPECT_EQ(r.bottom - r.top, tm.tmHeight);
    const LONG plainWidth = r.right - r.left;
    // Marks take no room: the shortcut's, and a lone one at the very end.
    plain->SetCaption("&Adres&");
    r = RectInParent(plain->Handle());
    EXPECT_EQ(r.right - r.left, plainWidth);
    r = RectInParent(wrapped->Handle());
    EXPECT_EQ(r.right - r.left, 80);
    EXPECT_EQ(r.bottom - r.top, 40);
    EXPECT_FALSE(GetWindowLongA(wrapped->Handle(), GWL_STYLE) & SS_LEFTNOWORDWRAP);
    // Changing the text resizes a self-sizing label.
    plain->SetCaption("Adres en meer");
    EXPECT_GT(RectInParent(plain->Handle()).right - 5, size.cx);
    EXPECT_EQ(plain->TabOrder(), -1);
}

TEST(Controls, RadioButtonsCheckOneOfTheirSiblingsAndClickOnce)
{
    auto form = MakeForm();
    auto* a = Add<TRadioButton>(*form, form.get(), 5, 5, 100, 17);
    auto* b = Add<TRadioButton>(*form, form.get(), 5, 25, 100, 17);
    a->SetChecked(true);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    form->ShowForm();
    SendMessageA(b->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(b->Checked());
    EXPECT_FALSE(a->Checked());
    EXPECT_EQ(SendMessageA(a->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageA(b->Handle(), BM_CLICK, 0, 0); // already checked: no new click
    EXPECT_EQ(clicks, 1);
    a->SetChecked(true);
    EXPECT_EQ(SendMessageA(b->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST(Controls, ComboBoxMirrorsItsItemsAndSelection)
{
    auto form = MakeForm();
    auto* combo = Add<TComboBox>(*form, form.get(), 5, 5, 150, 21);
    combo->SetStyle(TComboBoxStyle::csDropDownList);
    combo->Items()->SetText("one\ntwo");
    combo->SetItemIndex(5);
    EXPECT_EQ(combo->ItemIndex(), -1);
    combo->SetItemIndex(1);
    EXPECT_EQ(combo->Text(), "two");
    form->ShowForm();
    HWND h = combo->Handle();
    EXPECT_EQ(SendMessageA(h, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageA(h, CB_GETCURSEL, 0, 0), 1);
    combo->Items()->Add("three");
    EXPECT_EQ(SendMessageA(h, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(combo->ItemIndex(), 1);
    int changes = 0;
    combo->OnChange = [&](TObject*) { ++changes; };
    // The user picks an item: the list tells its parent.
    SendMessageA(h, CB_SETCURSEL, 2, 0);
    SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), CBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(combo->Text(), "three");
    // The closed box is one line high, whatever the dropped list takes.
    EXPECT_LT(RectInParent(h).bottom - RectInParent(h).top, 30);
}

TEST(Controls, NotebookPageIndexIgnoresTheCurrentNegativeAndTooLargeIndexes)
{
    auto form = MakeForm();
    auto* book = Add<TNotebook>(*form, form.get(), 0, 0, 300, 200);
    for (const char* name : {"one", "two", "three"})
        book->AddPage(name);
    auto* onFirst = Add<TEdit>(*form, book->Page(0), 5, 5, 100, 21);
    auto* onSecond = Add<TEdit>(*form, book->Page(1), 5, 5, 100, 21);
    form->ShowForm();
    EXPECT_EQ(book->PageIndex(), 0);
    EXPECT_TRUE(onFirst->Focused());
    int changes = 0;
    book->OnPageChanged = [&](TObject*) { ++changes; };
    for (int bad : {0, -1, 3, 100})
        book->SetPageIndex(bad);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(book->PageIndex(), 0);
    book->SetPageIndex(1);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(IsWindowVisible(book->Page(0)->Handle()));
    EXPECT_TRUE(IsWindowVisible(book->Page(1)->Handle()));
    EXPECT_EQ(GetWindow(book->Handle(), GW_CHILD), book->Page(1)->Handle());
    // The notebook held the focus: it moves to the new page's first control.
    EXPECT_TRUE(onSecond->Focused());
    RECT r = RectInParent(book->Page(1)->Handle());
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
    // Pages is a live list of captions with the page objects beside them.
    EXPECT_EQ(book->Pages()->Text(), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(book->Pages()->GetObject(2), book->Page(2));
    EXPECT_EQ(book->Page(2)->Owner(), book);
    // Assigning names (as a walk over published lists does) renames the pages
    // it can keep; the controls on them stay.
    TStringList names;
    names.SetText("een\ntwee");
    book->Pages()->Assign(names);
    EXPECT_EQ(book->PageCount(), 2);
    EXPECT_EQ(book->Page(1)->Caption(), "twee");
    EXPECT_EQ(onSecond->Parent(), book->Page(1));
    EXPECT_EQ(book->PageIndex(), 1);
}

TEST(Controls, TabEnterAndEscapeGoToTheFormUnlessTheControlWantsThem)
{
    auto form = MakeForm();
    auto* a = Add<TEdit>(*form, form.get(), 5, 5, 100, 21);
    auto* b = Add<TButton>(*form, form.get(), 5, 35, 75, 25);
    auto* c = Add<TButton>(*form, form.get(), 90, 35, 75, 25);
    c->SetCancel(true);
    int bClicks = 0, cClicks = 0;
    b->OnClick = [&](TObject*) { ++bClicks; };
    c->OnClick = [&](TObject*) { ++cClicks; };
    form->ShowForm();
    EXPECT_TRUE(a->Focused());
    auto press = [&](WPARAM key) {
        PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
        Application->ProcessMessages();
    };
    press(VK_TAB);
    EXPECT_TRUE(b->Focused());
    press(VK_RETURN); // Enter clicks the focused button
    EXPECT_EQ(bClicks, 1);
    press(VK_ESCAPE); // Escape clicks the cancel button
    EXPECT_EQ(cClicks, 1);
    // A hidden control gives the focus away instead of keeping it.
    b->Hide();
    EXPECT_FALSE(b->Focused());
    press(VK_TAB);
    EXPECT_TRUE(a->Focused() || c->Focused());
}

TEST(Controls, ValidateEditTakesCheckCharactersAndOneLeadingSign)
{
    TValidateEdit edit(nullptr);
    EXPECT_TRUE(edit.IsValidChar('7', "", 0));
    EXPECT_FALSE(edit.IsValidChar('a', "", 0));
    EXPECT_FALSE(edit.IsValidChar(' ', "", 0));
    EXPECT_TRUE(edit.IsValidChar('\b', "12", 2));
    EXPECT_TRUE(edit.IsValidChar('-', "12", 0));
    EXPECT_FALSE(edit.IsValidChar('-', "12", 1));
    EXPECT_FALSE(edit.IsValidChar('+', "-12", 0));
    for (auto [text, value] : {std::pair{"", 0}, {"8080", 8080}, {"+12", 12}, {"-5", -5}, {"-", 0}, {"1-2", 0},
             {"99999999999", 0}}) {
        edit.SetText(text);
        EXPECT_EQ(edit.AsInteger(), value) << text;
    }

    auto form = MakeForm();
    auto* port = Add<TValidateEdit>(*form, form.get(), 5, 5, 49, 21);
    form->ShowForm();
    // Pasting goes through the same check as typing.
    const char clip[] = "80a8x0";
    if (OpenClipboard(form->Handle())) {
        EmptyClipboard();
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, sizeof(clip));
        std::memcpy(GlobalLock(mem), clip, sizeof(clip));
        GlobalUnlock(mem);
        SetClipboardData(CF_TEXT, mem);
        CloseClipboard();
        SendMessageA(port->Handle(), WM_PASTE, 0, 0);
        EXPECT_EQ(WindowText(port->Handle()), "8080");
    }
}

TEST(Controls, DirectoryEditBrowsesFromTheRightFolderAndRemembersChoices)
{
    auto form = MakeForm(400, 100);
    auto* edit = Add<TDirectoryEdit>(*form, form.get(), 5, 5, 377, 21);
    const std::string existing = "C:\\windows";
    edit->SetText("C:\\no\\such\\folder");
    EXPECT_EQ(edit->InitialFolder(), "\\");
    edit->SetText("");
    EXPECT_EQ(edit->InitialFolder(), "\\");
    edit->SetText(existing);
    EXPECT_EQ(edit->InitialFolder(), existing);
    form->ShowForm();

    TModalScript script;
    script.AnswerFolder(IDOK, "C:\\windows\\system32");
    script.AnswerFolder(IDCANCEL);
    script.AnswerFolder(IDOK, "C:\\made\\up");
    // The browse button inside the field opens the dialog.
    HWND button = edit->ButtonHandle();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(GetParent(button), edit->Handle());
    SendMessageA(button, BM_CLICK, 0, 0);
    ASSERT_EQ(script.Requests.size(), 1u);
    EXPECT_EQ(script.Requests[0].Kind, TModalKind::BrowseFolder);
    EXPECT_EQ(script.Requests[0].Folder, existing);
    EXPECT_EQ(edit->Text(), "C:\\windows\\system32");
    edit->Browse(); // cancelled: nothing changes
    EXPECT_EQ(edit->Text(), "C:\\windows\\system32");
    edit->Browse(); // a folder that does not exist is taken, not remembered
    EXPECT_EQ(edit->Text(), "C:\\made\\up");
    edit->SetText("");
    EXPECT_EQ(edit->InitialFolder(), "C:\\windows\\system32");
}

TEST(Controls, DriveComboListsTheFixedDrivesAndSelectsByLetter)
{
    char roots[512] = {};
    GetLogicalDriveStringsA(sizeof(roots), roots);
    std::string fixed;
    for (const char* r = roots; *r; r += std::strlen(r) + 1)
        if (GetDriveTypeA(r) == DRIVE_FIXED)
            fixed += r[0];
    auto form = MakeForm();
    auto* drives = Add<TDriveCombo>(*form, form.get(), 5, 5, 313, 22);
    EXPECT_EQ(drives->Letters(), fixed);
    ASSERT_NE(fixed.find('C'), std::string::npos);
    drives->SetDrive('c');
    EXPECT_EQ(drives->Drive(), 'C');
    drives->SetDrive('Q'); // not listed: nothing changes
    EXPECT_EQ(drives->Drive(), 'C');
    form->ShowForm();
    EXPECT_EQ(SendMessageA(drives->Handle(), CB_GETCOUNT, 0, 0), static_cast<LRESULT>(fixed.size()));
    EXPECT_EQ(drives->Drive(), 'C');
    // A volume arriving rebuilds the list; the selection stays.
    DEV_BROADCAST_HDR hdr{sizeof(hdr), DBT_DEVTYP_VOLUME, 0};
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&hdr));
    EXPECT_EQ(SendMessageA(drives->Handle(), CB_GETCOUNT, 0, 0), static_cast<LRESULT>(fixed.size()));
    EXPECT_EQ(drives->Drive(), 'C');
}

TEST(Controls, DriveComboWithoutAChoiceTakesTheCurrentFoldersDrive)
{
    auto form = MakeForm();
    auto* drives = Add<TDriveCombo>(*form, form.get(), 5, 5, 313, 22);
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof(dir), dir);
    form->ShowForm();
    const auto pos = drives->Letters().find(static_cast<char>(std::toupper(dir[0])));
    EXPECT_EQ(drives->ItemIndex(), pos == std::string::npos ? 0 : static_cast<int>(pos));
}

TEST(Dialogs, MessageDialogSizesToItsTextAndAnswersYesNo)
{
    auto dialog = CreateMessageDialog("De installatie is niet voltooid.\rBent u zeker ?", TMsgDlgType::mtConfirmation,
        mbYes | mbNo);
    auto* yes = dynamic_cast<TButton*>(dialog->FindComponent("Yes"));
    auto* no = dynamic_cast<TButton*>(dialog->FindComponent("No"));
    ASSERT_TRUE(yes && no);
    EXPECT_EQ(yes->Caption(), "&Yes");
    EXPECT_EQ(no->Caption(), "&No");
    EXPECT_TRUE(yes->Default());
    EXPECT_TRUE(no->Cancel());
    EXPECT_EQ(dialog->Caption(), "Confirm");
    dialog->SetCaption("WAARSCHUWING");
    TModalScript script{0};
    script.Prepare = [&](TModalRequest& request) {
        HWND h = request.Dialog->Handle();
        EXPECT_EQ(WindowText(h), "WAARSCHUWING");
        // Centred and large enough for the two lines and the buttons.
        RECT w, label;
        GetWindowRect(h, &w);
        EXPECT_NEAR((w.left + w.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
        EXPECT_NEAR((w.top + w.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
        label = RectInParent(dynamic_cast<TWinControl*>(request.Dialog->FindComponent("Message"))->Handle());
        HWND message = dynamic_cast<TWinControl*>(request.Dialog->FindComponent("Message"))->Handle();
        const TEXTMETRICA tm = TextMetrics(message);
        EXPECT_EQ(label.bottom - label.top, 2 * tm.tmHeight); // the CR breaks the line
        EXPECT_LT(label.bottom, RectInParent(yes->Handle()).top);
        EXPECT_TRUE(yes->Focused());
        SaveWindowPng(h, ScreenshotFolder() + "/message-dialog.png");
        PostMessageA(h, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(dialog->ShowModal(), mrCancel); // closed any other way
    EXPECT_EQ(script.Requests.at(0).Text, "De installatie is niet voltooid.\rBent u zeker ?");

    TModalScript clicks{0, 0};
    clicks.Prepare = [&](TModalRequest& request) {
        const bool first = clicks.Requests.empty();
        PostMessageA((first ? yes : no)->Handle(), BM_CLICK, 0, 0);
    };
    EXPECT_EQ(dialog->ShowModal(), mrYes);
    EXPECT_EQ(dialog->ShowModal(), mrNo);
}

TEST(Dialogs, ApplicationReportsEscapedExceptionsInAMessageBox)
{
    Application->SetTitle("Korvant Setup");
    TModalScript script{IDOK};
    auto form = MakeForm();
    auto* button = Add<TButton>(*form, form.get(), 5, 5, 75, 25);
    button->OnClick = [](TObject*) { throw EConvertError("bad value"); };
    form->ShowForm();
    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(script.Requests.size(), 1u);
    EXPECT_EQ(script.Requests[0].Kind, TModalKind::MessageBox);
    EXPECT_EQ(script.Requests[0].Text, "bad value");
    EXPECT_EQ(script.Requests[0].Caption, "Korvant Setup");
    EXPECT_EQ(script.Requests[0].Flags & 0xF0u, 0x10u);
}

TEST(Published, ControlsPublishTheirTextsForGenericWalks)
{
    TForm form(nullptr);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    auto* combo = new TComboBox(&form);
    auto* book = new TNotebook(&form);
    for (const char* name : {"Caption", "Hint", "HelpKeyword", "ImeName", "Font", "Name"})
        EXPECT_NE(GetPropInfo(*label, name), nullptr) << name;
    EXPECT_TRUE(TLabel::ClassInfo().InheritsFrom(TControl::ClassInfo()));
    const TPropInfo* items = GetPropInfo(*combo, "Items");
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(GetObjectProp(*combo, *items), combo->Items());
    EXPECT_EQ(GetPropInfo(*combo, "Text")->Kind, TPropKind::String);
    const TPropInfo* pages = GetPropInfo(*book, "Pages");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(GetObjectProp(*book, *pages), book->Pages());
    EXPECT_TRUE(GetObjectProp(*label, *GetPropInfo(*label, "Font"))->Is<TFont>());
    // Writing through the property reaches the window.
    form.ShowForm();
    SetWideStrProp(*label, *GetPropInfo(*label, "Caption"), u"Fran\u00E7ais");
    EXPECT_EQ(WindowText(label->Handle()), "Fran\xE7" "ais");
}

} // namespace

namespace {

TEST(Keys, ShortcutsClickFocusOrToggleAndLabelsLeadToTheirControl)
{
    auto form = MakeForm();
    auto* label = Add<TLabel>(*form, form.get(), 5, 5, 0, 0);
    label->SetCaption("&Naam");
    auto* edit = Add<TEdit>(*form, form.get(), 60, 5, 100, 21);
    label->SetFocusControl(edit);
    auto* button = Add<TButton>(*form, form.get(), 5, 35, 75, 25);
    button->SetCaption("&Opslaan");
    auto* check = Add<TCheckBox>(*form, form.get(), 5, 65, 100, 17);
    check->SetCaption("&Tonen");
    auto* hidden = Add<TButton>(*form, form.get(), 90, 35, 75, 25);
    hidden->SetCaption("&Verborgen");
    hidden->Hide();
    int clicks = 0, hiddenClicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    hidden->OnClick = [&](TObject*) { ++hiddenClicks; };
    form->ShowForm();
    button->SetFocus();

    PressKey('N', {VK_MENU});
    EXPECT_TRUE(edit->Focused()) << "a label's shortcut focuses the control it names";
    PressKey('O', {VK_MENU});
    EXPECT_EQ(clicks, 1);
    PressKey('T', {VK_MENU});
    EXPECT_TRUE(check->Checked());
    EXPECT_TRUE(check->Focused());
    PressKey('V', {VK_MENU}); // hidden: not reachable
    EXPECT_EQ(hiddenClicks, 0);
    button->SetEnabled(false);
    PressKey('O', {VK_MENU}); // disabled: neither
    EXPECT_EQ(clicks, 1);
}

TEST(Keys, ADisabledFocusedControlLeavesTheFocusWhereTabStillWorks)
{
    auto form = MakeForm();
    auto* a = Add<TButton>(*form, form.get(), 5, 5, 75, 25);
    auto* b = Add<TButton>(*form, form.get(), 90, 5, 75, 25);
    form->ShowForm();
    a->SetFocus();
    a->SetEnabled(false);
    EXPECT_EQ(GetFocus(), form->Handle()) << "the form keeps the keys";
    PressKey(VK_TAB);
    EXPECT_TRUE(b->Focused());
}

TEST(Keys, RadioGroupsAreOneTabStopPerParentWithArrowsInside)
{
    auto form = MakeForm();
    auto* first = Add<TRadioButton>(*form, form.get(), 5, 5, 100, 17);
    auto* second = Add<TRadioButton>(*form, form.get(), 5, 25, 100, 17);
    auto* third = Add<TRadioButton>(*form, form.get(), 5, 45, 100, 17);
    auto* after = Add<TButton>(*form, form.get(), 5, 70, 75, 25);
    third->SetEnabled(false);
    form->ShowForm();
    // None checked: the group's stop is its first button.
    after->SetFocus();
    PressKey(VK_TAB);
    EXPECT_TRUE(first->Focused());
    PressKey(VK_DOWN);
    EXPECT_TRUE(second->Focused() && second->Checked());
    PressKey(VK_DOWN); // the disabled one is passed by, round to the first
    EXPECT_TRUE(first->Focused() && first->Checked());
    EXPECT_FALSE(second->Checked());
    second->SetChecked(true);
    PressKey(VK_TAB);
    EXPECT_TRUE(after->Focused());
    PressKey(VK_TAB);
    EXPECT_TRUE(second->Focused()) << "Tab enters the group at its checked button";
}

TEST(Accessibility, TheNameIsTheLabelsTextWithoutItsShortcutMark)
{
    auto form = MakeForm();
    auto* label = Add<TLabel>(*form, form.get(), 5, 5, 0, 0);
    label->SetCaption("&Naam && adres");
    auto* edit = Add<TEdit>(*form, form.get(), 60, 5, 100, 21);
    EXPECT_EQ(edit->AccessibleName(), "");
    label->SetFocusControl(edit);
    EXPECT_EQ(edit->AccessibleName(), "Naam & adres");
    label->SetCaption("Poort&");
    EXPECT_EQ(edit->AccessibleName(), "Poort");
    EXPECT_EQ(edit->NameLabel(), label);
    // Either going first unties the two.
    delete label;
    EXPECT_EQ(edit->NameLabel(), nullptr);
    auto* other = Add<TLabel>(*form, form.get(), 5, 30, 0, 0);
    other->SetFocusControl(edit);
    delete edit;
    EXPECT_EQ(other->FocusControl(), nullptr);
}

TEST(Dpi, AFormScalesFromItsDesignedFiguresAndBackExactly)
{
    auto form = MakeForm(301, 201);
    auto* bar = Add<TButtonBar>(*form, form.get(), 0, 0, 10, 41);
    bar->SetAlign(TAlign::alBottom);
    auto* right = Add<TButton>(*form, bar, 221, 7, 75, 25);
    right->SetAnchors(akTop | akRight);
    auto* edit = Add<TEdit>(*form, form.get(), 13, 9, 121, 21);
    auto* label = Add<TLabel>(*form, form.get(), 13, 40, 0, 0);
    label->SetCaption("Een tekst");
    form->ShowForm();
    const RECT editAt96 = RectInParent(edit->Handle()), labelAt96 = RectInParent(label->Handle());
    for (int dpi : {120, 144, 168, 192, 96}) {
        SCOPED_TRACE(dpi);
        form->ScaleForDpi(dpi);
        const auto px = [dpi](int v) { return MulDiv(v, dpi, 96); };
        RECT client;
        GetClientRect(form->Handle(), &client);
        EXPECT_EQ(client.right, px(301));
        EXPECT_EQ(client.bottom, px(201));
        const RECT e = RectInParent(edit->Handle());
        EXPECT_EQ(e.left, px(13));
        EXPECT_EQ(e.top, px(9));
        EXPECT_EQ(e.right - e.left, px(121));
        EXPECT_EQ(WindowFont(edit->Handle()).lfHeight, px(-11));
        EXPECT_EQ(RectInParent(bar->Handle()).top, px(201) - px(41));
        EXPECT_EQ(RectInParent(right->Handle()).left, px(221));
        EXPECT_EQ(WindowFont(label->Handle()).lfHeight, px(-11));
    }
    // Back at 96 nothing has drifted.
    const RECT e = RectInParent(edit->Handle()), l = RectInParent(label->Handle());
    EXPECT_TRUE(EqualRect(&e, &editAt96));
    EXPECT_TRUE(EqualRect(&l, &labelAt96));
}

} // namespace
