// The proxy page's line of the system's proxy: filled in once Windows has
// answered, without the window waiting for it, in the chosen language, and
// laid out below the fields at every DPI (the DPI script runs it at each).
#include "setup/ufrmMain.h"
#include "tests/setup/uLayoutFit.h"
#include "tests/setup/uWizardPictures.h"
#include "tests/support/uSystemProxySettings.h"
#include "tests/ui/uUiTestKit.h"
#include "translation/uTranslator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// Handles the window's messages until the line shows.
bool WaitForLine(TfrmMain& form, std::chrono::seconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        if (form.lbSYSPROXY->Visible())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(WizardDpi, TheSystemProxyLineSitsBelowTheProxyFieldsAndFitsInBothLanguages)
{
    installtest::TSystemProxySettings settings;
    // A long name, as a company's proxy may have.
    settings.Set({.Proxy = "proxy-01.kantoor.boekhouding-voorbeeld.be:8080"});
    EnsureTranslationIgnores();
    Application->SetTitle("Korvant Setup");
    auto form = std::make_unique<TfrmMain>(nullptr);
    form->ShowForm();
    const int dpi = form->PixelsPerInch();
    const auto px = [dpi](int v) { return MulDiv(v, dpi, 96); };
    const std::string suffix = "-sysproxy-dpi" + std::to_string(dpi);
    ASSERT_TRUE(WaitForLine(*form, std::chrono::seconds(60)));
    EXPECT_EQ(form->lbSYSPROXY->Caption(), "Systeemproxy: proxy-01.kantoor.boekhouding-voorbeeld.be:8080");

    const RECT line = RectInParent(form->lbSYSPROXY->Handle()), port = RectInParent(form->PROXY_POORT->Handle());
    EXPECT_EQ(GetParent(form->lbSYSPROXY->Handle()), form->Notebook1->Page(3)->Handle());
    EXPECT_EQ(line.left, px(16));
    EXPECT_EQ(line.top, px(288));
    EXPECT_GT(line.top, port.bottom);
    EXPECT_EQ(WindowFont(form->lbSYSPROXY->Handle()).lfHeight, px(-11));
    // The line is read, not tabbed to.
    EXPECT_FALSE(form->lbSYSPROXY->TabStop());

    form->Notebook1->SetPageIndex(3);
    layout_fit::ExpectTextsFit(*form, "Dutch");
    EXPECT_TRUE(SaveWindowPng(form->Handle(), ScreenshotFolder() + "/page-3-ProxySettings" + suffix + ".png"));

    form->Notebook1->SetPageIndex(0);
    form->rbFRANS->SetChecked(true);
    form->btNEXT->Click();
    EXPECT_EQ(form->lbSYSPROXY->Caption(), "Proxy syst\xE8me : proxy-01.kantoor.boekhouding-voorbeeld.be:8080");
    form->Notebook1->SetPageIndex(3);
    layout_fit::ExpectTextsFit(*form, "French");
    EXPECT_TRUE(SaveWindowPng(form->Handle(), ScreenshotFolder() + "/page-3-ProxySettings-fr" + suffix + ".png"));
    ChooseLanguage("nl");
}

TEST(SystemProxyLine, NoProxyInTheSettingsSaysSoAndTheWindowAnswersMeanwhile)
{
    installtest::TSystemProxySettings settings;
    settings.Set({});
    EnsureTranslationIgnores();
    auto form = std::make_unique<TfrmMain>(nullptr);
    form->ShowForm();
    // The window is handled at once, answer or not.
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutA(form->Handle(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0);
    ASSERT_TRUE(WaitForLine(*form, std::chrono::seconds(60)));
    EXPECT_EQ(form->lbSYSPROXY->Caption(), "Geen systeemproxy");
    // Typed text on the page does not change what the system would use.
    form->PROXY_SERVER->SetText("typed.example");
    EXPECT_EQ(form->lbSYSPROXY->Caption(), "Geen systeemproxy");
}

} // namespace
