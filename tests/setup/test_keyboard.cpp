// The wizard from the keyboard and through a screen reader's eyes: Tab and
// the arrow keys, Space, the Alt shortcut of Cancel, visible focus, and the
// names the accessibility interface gives the fields.
#include "setup/ufrmMain.h"
#include "tests/setup/uWizardPictures.h"
#include "tests/ui/uInputKit.h"
#include "tests/ui/uUiTestKit.h"
#include "translation/uTranslator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class Keyboard : public testing::Test {
protected:
    void SetUp() override
    {
        EnsureTranslationIgnores();
        Application->SetTitle("Korvant Setup");
        form = std::make_unique<TfrmMain>(nullptr);
        form->ShowForm();
        Application->ProcessMessages();
        ASSERT_EQ(GetForegroundWindow(), form->Handle());
    }
    void TearDown() override
    {
        form.reset();
        ChooseLanguage("nl");
        Application->ProcessMessages();
    }
    HWND Focus() const { return GetFocus(); }
    static bool Checked(TButtonControl* b) { return SendMessageA(b->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

    std::unique_ptr<TfrmMain> form;
};

TEST_F(Keyboard, TabFollowsTheTabOrdersAndStopsOnceInARadioGroup)
{
    // The button bar comes first (tab order 0), then the page.
    EXPECT_EQ(Focus(), form->btCANCEL->Handle());
    PressKey(VK_TAB);
    EXPECT_EQ(Focus(), form->btNEXT->Handle());
    PressKey(VK_TAB);
    EXPECT_EQ(Focus(), form->btFINISH->Handle());
    PressKey(VK_TAB);
    EXPECT_EQ(Focus(), form->rbNEDERLANDS->Handle()) << "the group's checked button";
    PressKey(VK_TAB);
    EXPECT_EQ(Focus(), form->btCANCEL->Handle()) << "Tab leaves the group: round to the start";
    PressKey(VK_TAB, {VK_SHIFT});
    EXPECT_EQ(Focus(), form->rbNEDERLANDS->Handle());

    // The first radio button starts its group.
    EXPECT_TRUE(GetWindowLongA(form->rbNEDERLANDS->Handle(), GWL_STYLE) & WS_GROUP);
    EXPECT_FALSE(GetWindowLongA(form->rbFRANS->Handle(), GWL_STYLE) & WS_GROUP);

    // On the data page: the checked radio, the folder (2), the list (3).
    form->Notebook1->SetPageIndex(5);
    form->btFINISH->SetFocus();
    for (TWinControl* want : std::initializer_list<TWinControl*>{form->rbSERVER, form->GegevensLocatie,
             form->GegevensType, form->btCANCEL}) {
        PressKey(VK_TAB);
        EXPECT_EQ(Focus(), want->Handle()) << want->Name();
    }
    // The proxy page: the box, the address, the port.
    form->Notebook1->SetPageIndex(3);
    form->btFINISH->SetFocus();
    for (TWinControl* want : std::initializer_list<TWinControl*>{form->PROXY_USE, form->PROXY_SERVER, form->PROXY_POORT}) {
        PressKey(VK_TAB);
        EXPECT_EQ(Focus(), want->Handle()) << want->Name();
    }
}

TEST_F(Keyboard, ArrowsMoveInsideTheRadioGroupAndSpaceToggles)
{
    form->rbNEDERLANDS->SetFocus();
    PressKey(VK_DOWN);
    EXPECT_EQ(Focus(), form->rbFRANS->Handle());
    EXPECT_TRUE(Checked(form->rbFRANS));
    EXPECT_FALSE(Checked(form->rbNEDERLANDS));
    PressKey(VK_DOWN); // round the group
    EXPECT_EQ(Focus(), form->rbNEDERLANDS->Handle());
    EXPECT_TRUE(Checked(form->rbNEDERLANDS));
    PressKey(VK_LEFT);
    EXPECT_TRUE(Checked(form->rbFRANS));
    PressKey(VK_UP);
    EXPECT_TRUE(Checked(form->rbNEDERLANDS));
    EXPECT_EQ(form->PageIndex(), 0) << "arrows never leave the page";

    // The data choice by keyboard runs its click handler like the mouse.
    form->Notebook1->SetPageIndex(5);
    form->rbSERVER->SetFocus();
    PressKey(VK_RIGHT);
    EXPECT_TRUE(Checked(form->rbWORKSTATION));
    EXPECT_FALSE(IsWindowEnabled(form->GegevensType->Handle()));
    PressKey(VK_TAB);
    PressKey(VK_TAB);
    EXPECT_EQ(Focus(), form->btCANCEL->Handle()) << "the disabled list is passed by";
    form->rbWORKSTATION->SetFocus();
    PressKey(VK_UP);
    EXPECT_TRUE(Checked(form->rbSERVER));
    EXPECT_TRUE(IsWindowEnabled(form->GegevensType->Handle()));

    // Arrows in a field stay the field's own.
    form->Notebook1->SetPageIndex(3);
    SetWindowTextA(form->PROXY_SERVER->Handle(), "proxy");
    form->PROXY_SERVER->SetFocus();
    SendMessageA(form->PROXY_SERVER->Handle(), EM_SETSEL, 5, 5);
    PressKey(VK_LEFT);
    EXPECT_EQ(Focus(), form->PROXY_SERVER->Handle());
    EXPECT_EQ(form->PROXY_SERVER->SelStart(), 4);

    // Space on the check box toggles it; on a radio button it checks it.
    form->PROXY_USE->SetFocus();
    PressKey(VK_SPACE);
    EXPECT_TRUE(form->PROXY_USE->Checked());
    EXPECT_TRUE(Checked(form->PROXY_USE));
    PressKey(VK_SPACE);
    EXPECT_FALSE(form->PROXY_USE->Checked());
    form->Notebook1->SetPageIndex(0);
    form->rbFRANS->SetFocus();
    PressKey(VK_SPACE);
    EXPECT_TRUE(Checked(form->rbFRANS));
    EXPECT_FALSE(Checked(form->rbNEDERLANDS));
}

TEST_F(Keyboard, SpaceOnNextWalksThePlainPagesAndAltAAsksToCancel)
{
    form->btNEXT->SetFocus();
    PressKey(VK_SPACE);
    EXPECT_EQ(form->PageIndex(), 1);
    PressKey(VK_RETURN);
    EXPECT_EQ(form->PageIndex(), 2);
    EXPECT_EQ(Focus(), form->btNEXT->Handle()) << "the focus stays on Next from page to page";

    {
        TModalScript script{mrNo};
        PressKey('A', {VK_MENU});
        ASSERT_EQ(script.Requests.size(), 1u) << "Alt+A is Cancel";
        EXPECT_EQ(script.Requests[0].Text, "De installatie is niet voltooid.\rBent u zeker ?");
        EXPECT_EQ(form->PageIndex(), 2);
    }
    {
        TModalScript script{mrYes};
        PressKey('A', {VK_MENU});
        ASSERT_EQ(script.Requests.size(), 1u);
    }
    EXPECT_EQ(form->PageIndex(), 8);
    EXPECT_FALSE(IsWindowVisible(form->btCANCEL->Handle()));
    // The focus goes to Finish, on top now, so Enter ends the wizard.
    EXPECT_EQ(Focus(), form->btFINISH->Handle());
    {
        TModalScript script; // Cancel is hidden: Alt+A does nothing
        PressKey('A', {VK_MENU});
        EXPECT_TRUE(script.Requests.empty());
    }
    PressKey(VK_RETURN);
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
}

TEST_F(Keyboard, AltAIsCancelInFrenchToo)
{
    form->rbFRANS->SetChecked(true);
    form->btNEXT->SetFocus();
    PressKey(VK_SPACE);
    ASSERT_EQ(form->btCANCEL->Caption(), "&Annuler");
    TModalScript script{mrNo};
    PressKey('A', {VK_MENU});
    EXPECT_EQ(script.Requests.size(), 1u);
}

TEST_F(Keyboard, TheFocusIsAlwaysShown)
{
    const auto hidden = [](HWND h) { return (SendMessageA(h, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0; };
    for (HWND h : {form->Handle(), form->btCANCEL->Handle(), form->rbNEDERLANDS->Handle()})
        EXPECT_FALSE(hidden(h));
    // A control asking to hide it (as on a mouse click) does not get its way.
    SendMessageA(form->btNEXT->Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    SendMessageA(form->Handle(), WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    for (HWND h : {form->Handle(), form->btNEXT->Handle(), form->PROXY_SERVER->Handle()})
        EXPECT_FALSE(hidden(h));
}

TEST_F(Keyboard, EveryFieldAndListIsNamedByItsLabel)
{
    LONG role = 0;
    std::string value;
    SetWindowTextA(form->PROXY_SERVER->Handle(), "proxy.example");
    EXPECT_EQ(AccessibleName(form->PROXY_SERVER->Handle(), &role, &value), "Adres");
    // Everything else is still the system's: the role and the typed text.
    EXPECT_EQ(role, ROLE_SYSTEM_TEXT);
    EXPECT_EQ(value, "proxy.example");
    EXPECT_EQ(AccessibleName(form->PROXY_POORT->Handle()), "Poort");
    EXPECT_EQ(AccessibleName(form->GegevensType->Handle()), "Gegevens");
    EXPECT_EQ(AccessibleName(form->GegevensLocatie->Handle()), "Locatie voor de gegevens");
    EXPECT_EQ(AccessibleName(form->InstallDrive->Handle()),
        "Selecteer een schijf waarop u het programma wenst te installeren");

    // The name follows the label into French.
    form->rbFRANS->SetChecked(true);
    form->btNEXT->Click();
    EXPECT_EQ(AccessibleName(form->PROXY_SERVER->Handle()), "Adresse");
    EXPECT_EQ(AccessibleName(form->GegevensType->Handle()), WideToAnsi(TranslateText(u"Gegevens")));
}

} // namespace
