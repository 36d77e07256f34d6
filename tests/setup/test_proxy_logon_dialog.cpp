// The dialog in which the user gives a proxy its logon: laid out at the
// screen's DPI in the wizard's font, the password masked, the answer handed
// back as typed, and its texts in French through the catalog.
#include "setup/ufrmMain.h"
#include "setup/ufrmProxyLogon.h"
#include "tests/setup/uLayoutFit.h"
#include "tests/setup/uWizardPictures.h"
#include "tests/ui/uUiTestKit.h"
#include "translation/uTranslator.h"
#include "ui/uStdCtrls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

int ScreenDpi()
{
    if (const char* env = std::getenv("KORVANT_EXPECT_DPI"))
        return std::atoi(env);
    const platform::win::TWindowDc screen = platform::win::GetWindowDc(nullptr);
    return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

HWND Child(TForm& dialog, const char* name)
{
    return dynamic_cast<TWinControl*>(dialog.FindComponent(name))->Handle();
}

} // namespace

TEST(WizardDpi, TheProxyLogonDialogIsLaidOutForTheScreensDpi)
{
    const int dpi = ScreenDpi();
    EnsureTranslationIgnores();
    Application->SetTitle("Korvant Setup");
    auto form = std::make_unique<TfrmMain>(nullptr);
    form->ShowForm();
    Application->ProcessMessages();

    TModalScript script{mrOk};
    script.Prepare = [&](TModalRequest& request) {
        TForm& dialog = *request.Dialog;
        EXPECT_EQ(dialog.PixelsPerInch(), dpi);
        EXPECT_EQ(request.Caption, "Aanmelden bij proxy proxy.kantoor.be");
        EXPECT_EQ(request.Text, "De proxy proxy.kantoor.be vraagt een gebruikersnaam en een wachtwoord.");
        HWND user = Child(dialog, "edGEBRUIKER"), password = Child(dialog, "edWACHTWOORD");
        EXPECT_EQ(GetWindowLongA(password, GWL_STYLE) & ES_PASSWORD, ES_PASSWORD);
        EXPECT_EQ(GetWindowLongA(user, GWL_STYLE) & ES_PASSWORD, 0);
        EXPECT_EQ(WindowFont(user).lfHeight, MulDiv(-11, dpi, 96));
        EXPECT_STREQ(WindowFont(user).lfFaceName, "Tahoma");
        RECT client;
        GetClientRect(dialog.Handle(), &client);
        layout_fit::ExpectChildrenFit(dialog, client, "proxy logon");
        const RECT ok = RectInParent(Child(dialog, "btOK"));
        EXPECT_EQ(ok.right - ok.left, MulDiv(75, dpi, 96));
        EXPECT_LE(RectInParent(Child(dialog, "btANNULEREN")).bottom, client.bottom);
        EXPECT_EQ(GetFocus(), user) << "the user name is typed first";
        EXPECT_TRUE(SaveWindowPng(dialog.Handle(), ScreenshotFolder() + "/proxy-logon-dpi" + std::to_string(dpi) + ".png"));
        // As a person types it.
        SetWindowTextA(user, " DOMEIN\\jan ");
        SetWindowTextA(password, "ge heim ");
        SendMessageA(Child(dialog, "cbONTHOUDEN"), BM_CLICK, 0, 0);
    };
    TProxyCredentials given;
    ASSERT_TRUE(form->AskProxyCredentials("proxy.kantoor.be", false, given));
    EXPECT_EQ(given.User, "DOMEIN\\jan");
    EXPECT_EQ(given.Password, "ge heim ") << "a password is taken as typed, blanks included";
    EXPECT_TRUE(given.Remember);
    given.Wipe();
    EXPECT_TRUE(given.User.empty() && given.Password.empty() && !given.Remember);
}

TEST(ProxyLogonDialog, CancelGivesNothingAndARefusalSaysSo)
{
    EnsureTranslationIgnores();
    Application->SetTitle("Korvant Setup");
    auto form = std::make_unique<TfrmMain>(nullptr);
    TModalScript script{mrCancel, mrOk};
    script.Prepare = [&](TModalRequest& request) {
        SetWindowTextA(Child(*request.Dialog, "edGEBRUIKER"), "jan");
        SetWindowTextA(Child(*request.Dialog, "edWACHTWOORD"), "geheim");
    };
    TProxyCredentials given;
    EXPECT_FALSE(form->AskProxyCredentials("10.0.0.1", true, given));
    EXPECT_TRUE(given.User.empty() && given.Password.empty());
    ASSERT_EQ(script.Requests.size(), 1u);
    EXPECT_EQ(script.Requests[0].Text,
              "De proxy 10.0.0.1 heeft de gebruikersnaam of het wachtwoord geweigerd. Probeer het opnieuw.");

    // OK with an empty user name is no logon either.
    script.Prepare = nullptr;
    EXPECT_FALSE(form->AskProxyCredentials("10.0.0.1", false, given));
}

TEST(ProxyLogonDialog, FrenchThroughTheCatalog)
{
    EnsureTranslationIgnores();
    ChooseLanguage("fr");
    {
        TfrmProxyLogon dialog("proxy.bureau.be", false);
        EXPECT_EQ(dialog.Caption(), "Connexion au proxy proxy.bureau.be");
        EXPECT_EQ(dialog.lbPROMPT->Caption(), "Le proxy proxy.bureau.be demande un nom d'utilisateur et un mot de passe.");
        EXPECT_EQ(dialog.lbGEBRUIKER->Caption(), "&Nom d'utilisateur :");
        EXPECT_EQ(dialog.lbWACHTWOORD->Caption(), "&Mot de passe :");
        EXPECT_EQ(dialog.cbONTHOUDEN->Caption(), "&Retenir pour cette installation");
        EXPECT_EQ(dialog.btANNULEREN->Caption(), "Annuler");
        dialog.ShowForm();
        Application->ProcessMessages();
        RECT client;
        GetClientRect(dialog.Handle(), &client);
        layout_fit::ExpectChildrenFit(dialog, client, "proxy logon (French)");
        EXPECT_TRUE(SaveWindowPng(dialog.Handle(), ScreenshotFolder() + "/proxy-logon-fr.png"));
        TfrmProxyLogon refused("proxy.bureau.be", true);
        EXPECT_EQ(refused.lbPROMPT->Caption(),
                  "Le proxy proxy.bureau.be a refus\xE9 le nom d'utilisateur ou le mot de passe. Veuillez r\xE9" "essayer.");
    }
    ChooseLanguage("nl");
}
