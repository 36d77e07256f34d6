// The wizard form on real windows: layout, navigation, Cancel, Finish, the
// busy state and the failure path, the variant list, and a picture per page.
#include "setup/ufrmMain.h"
#include "tests/setup/uLayoutFit.h"
#include "tests/setup/uWizardPictures.h"
#include "tests/ui/uUiTestKit.h"
#include "translation/uTranslator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

class Wizard : public testing::Test {
protected:
    void SetUp() override
    {
        Application->SetTitle("Korvant Setup");
        form = std::make_unique<TfrmMain>(nullptr);
        form->ShowForm();
        Application->ProcessMessages();
    }
    void TearDown() override
    {
        form.reset();
        Screen->SetCursor(TCursor::crDefault);
        Application->ProcessMessages();
    }

    HWND Hwnd(const char* name)
    {
        auto* control = dynamic_cast<TWinControl*>(form->FindComponent(name));
        EXPECT_NE(control, nullptr) << name;
        return control ? control->Handle() : nullptr;
    }
    // The control at the centre of a button's spot: what a click there hits.
    HWND HitAt(HWND button)
    {
        RECT r = RectInParent(button);
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        return ChildWindowFromPointEx(GetParent(button), p, CWP_SKIPINVISIBLE);
    }
    void Next()
    {
        SendMessageA(form->btNEXT->Handle(), BM_CLICK, 0, 0);
        Application->ProcessMessages();
    }
    void Cancel()
    {
        SendMessageA(form->btCANCEL->Handle(), BM_CLICK, 0, 0);
        Application->ProcessMessages();
    }
    void ExpectAbortState()
    {
        EXPECT_EQ(form->PageIndex(), 8);
        EXPECT_FALSE(IsWindowVisible(form->btCANCEL->Handle()));
        EXPECT_EQ(HitAt(form->btNEXT->Handle()), form->btFINISH->Handle()) << "Finish must cover Next";
        EXPECT_TRUE(Above(form->btFINISH->Handle(), form->btNEXT->Handle()));
    }
    // True when `upper` lies above `lower` among their siblings.
    static bool Above(HWND upper, HWND lower)
    {
        for (HWND h = GetWindow(upper, GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT))
            if (h == lower)
                return true;
        return false;
    }

    std::unique_ptr<TfrmMain> form;
};

const char* const kPageNames[] = {"SelectTaal", "Start", "Locatie", "ProxySettings", "InstallMain", "Data",
    "InstallData", "Einde", "Abort"};

TEST_F(Wizard, WindowIsAFixedWhiteDialogCentredOnTheScreen)
{
    HWND hwnd = form->Handle();
    EXPECT_EQ(WindowText(hwnd), "KORVANT - Setup");
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 535);
    EXPECT_EQ(client.bottom, 392);
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    RECT w;
    GetWindowRect(hwnd, &w);
    EXPECT_NEAR((w.left + w.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((w.top + w.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    const LOGFONTA font = WindowFont(form->Label1->Handle());
    EXPECT_STREQ(font.lfFaceName, "Tahoma");
    EXPECT_EQ(font.lfHeight, -11);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
    for (const char* heading : {"Label22", "Label2", "Label5", "Label18", "Label14", "Label9", "Label17", "Label7",
             "Label27"}) {
        const LOGFONTA h = WindowFont(Hwnd(heading));
        EXPECT_STREQ(h.lfFaceName, "Tahoma") << heading;
        EXPECT_EQ(h.lfHeight, -13) << heading;
        EXPECT_EQ(h.lfWeight, FW_BOLD) << heading;
        EXPECT_EQ(RectInParent(Hwnd(heading)).left, 16) << heading;
        EXPECT_EQ(RectInParent(Hwnd(heading)).top, 16) << heading;
    }
    EXPECT_STREQ(WindowFont(form->btNEXT->Handle()).lfFaceName, "Tahoma");
    EXPECT_EQ(form->Color(), clWhite);
}

TEST_F(Wizard, ClientAreaHoldsTheStripTheBarAndTheNotebook)
{
    RECT image = RectInParent(form->Image1->Handle());
    EXPECT_EQ(image.left, 0);
    EXPECT_EQ(image.top, 0);
    EXPECT_EQ(image.right - image.left, 129);
    EXPECT_EQ(image.bottom - image.top, 352);
    RECT bar = RectInParent(form->ButtonBar1->Handle());
    EXPECT_EQ(bar.top, 352);
    EXPECT_EQ(bar.right - bar.left, 535);
    EXPECT_EQ(bar.bottom - bar.top, 40);
    RECT book = RectInParent(form->Notebook1->Handle());
    EXPECT_EQ(book.left, 129);
    EXPECT_EQ(book.right - book.left, 406);
    EXPECT_EQ(book.bottom - book.top, 352);
    EXPECT_EQ(form->ButtonBar1->TabOrder(), 0);
    EXPECT_EQ(form->Notebook1->TabOrder(), 1);

    ASSERT_EQ(form->PageCount(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(form->Notebook1->Pages()->Get(i), kPageNames[i]);
        EXPECT_EQ(form->Notebook1->Page(i)->Name(), "");
    }

    struct TButtonSpec {
        TButton* Button;
        const char* Caption;
        int Left, TabOrder;
        TAnchors Anchors;
    };
    for (const TButtonSpec& b : {TButtonSpec{form->btFINISH, "Voltooien", 456, 2, akTop | akRight},
             TButtonSpec{form->btCANCEL, "&Annuleer", 8, 0, akTop | akLeft},
             TButtonSpec{form->btNEXT, "Volgende >", 456, 1, akTop | akRight}}) {
        HWND h = b.Button->Handle();
        EXPECT_EQ(GetParent(h), form->ButtonBar1->Handle());
        EXPECT_EQ(WindowText(h), b.Caption);
        RECT r = RectInParent(h);
        EXPECT_EQ(r.left, b.Left) << b.Caption;
        EXPECT_EQ(r.top, 8) << b.Caption;
        EXPECT_EQ(r.right - r.left, 75) << b.Caption;
        EXPECT_EQ(r.bottom - r.top, 25) << b.Caption;
        EXPECT_EQ(b.Button->TabOrder(), b.TabOrder) << b.Caption;
        EXPECT_EQ(b.Button->Anchors(), b.Anchors) << b.Caption;
        EXPECT_TRUE(IsWindowVisible(h) && IsWindowEnabled(h)) << b.Caption;
        EXPECT_FALSE(b.Button->Default() || b.Button->Cancel()) << b.Caption;
        EXPECT_FALSE(GetWindowLongA(h, GWL_STYLE) & BS_DEFPUSHBUTTON) << b.Caption;
    }
    // Next lies on top of Finish at start.
    EXPECT_EQ(HitAt(form->btFINISH->Handle()), form->btNEXT->Handle());
    EXPECT_TRUE(Above(form->btNEXT->Handle(), form->btFINISH->Handle()));
}

struct TExpectedControl {
    const char* Name;
    int Page;
    int Left, Top, Width, Height; // -1: sized by the control itself
    const char* Text;
    int TabOrder; // -1: not a tab stop
};

const TExpectedControl kControls[] = {
    {"Label1", 0, 16, 64, -1, -1, "Kies uw taal - Choisissez votre langue", -1},
    {"rbNEDERLANDS", 0, 32, 96, 113, -1, "Nederlands", 0},
    {"rbFRANS", 0, 32, 120, 113, -1, "Fran\xE7" "ais", 1},
    {"Label2", 1, 16, 16, 390, 41, "Welkom bij het installatie programma voor KORVANT", -1},
    {"Label3", 1, 16, 64, 377, 33,
        "Deze routine zal KORVANT op uw computer installeren. Kies voor Volgende om door te gaan.", -1},
    {"Label4", 1, 16, 304, 377, 33, "", -1},
    {"Label5", 2, 16, 16, -1, -1, "Locatie", -1},
    {"Label6", 2, 16, 64, 377, 30, "Selecteer een schijf waarop u het programma wenst te installeren", -1},
    {"InstallDrive", 2, 16, 96, 313, -1, nullptr, 0},
    {"Label18", 3, 16, 16, -1, -1, "Proxy Instellingen", -1},
    {"Label19", 3, 16, 64, 385, 41, "Het installatie programma zal de nodige componenten downloaden en installeren.", -1},
    {"Label23", 3, 16, 112, 363, 41,
        "Het installatie programma vereist hiervoor toegang tot het internet .  Schakel eventueel uw firewall "
        "programma uit.", -1},
    {"Label24", 3, 16, 160, 369, 41, "Indien u over een proxyserver beschikt kan u hier de gegevens ingeven.", -1},
    {"PROXY_USE", 3, 16, 200, 217, -1, "Een proxyserver gebruiken", 0},
    {"Label20", 3, 16, 232, -1, -1, "Adres", -1},
    {"PROXY_SERVER", 3, 72, 232, 305, -1, "", 1},
    {"Label21", 3, 16, 256, -1, -1, "Poort", -1},
    {"PROXY_POORT", 3, 72, 256, 49, -1, "", 2},
    {"Label14", 4, 16, 16, -1, -1, "Vooruitgang", -1},
    {"Label15", 4, 16, 64, -1, -1, "Even geduld aub.", -1},
    {"Label16", 4, 16, 96, -1, -1, "De componenten worden gedownload en ge\xEFnstalleerd", -1},
    {"ProgressBar", 4, 16, 128, 369, 17, nullptr, -1},
    {"Label9", 5, 16, 16, -1, -1, "Gegevens installeren", -1},
    {"rbSERVER", 5, 40, 48, 345, -1, "Installeer de gegevens op de PC", 0},
    {"Label11", 5, 64, 72, -1, -1, "Installeer een leeg gegevens bestand", -1},
    {"rbWORKSTATION", 5, 40, 96, 353, -1, "Installeer GEEN gegevens.", 1},
    {"Label10", 5, 64, 120, 279, 33, "De gegevens zijn aanwezig of  staan op een andere PC/Server", -1},
    {"Label13", 5, 16, 200, -1, -1, "Gegevens", -1},
    {"GegevensType", 5, 16, 224, 377, -1, "", 3},
    {"Label12", 5, 16, 264, -1, -1, "Locatie voor de gegevens", -1},
    {"GegevensLocatie", 5, 16, 288, 377, -1, "GegevensLocatie", 2},
    {"Label17", 6, 16, 16, -1, -1, "Gegevens Installeren", -1},
    {"Label25", 6, 16, 64, -1, -1, "Even geduld aub", -1},
    {"Label26", 6, 16, 96, -1, -1, "De gegevens worden ge\xEFnstalleerd", -1},
    {"Label7", 7, 16, 16, -1, -1, "Installatie voltooid", -1},
    {"Label8", 7, 16, 64, 377, 57,
        "Deze routine heeft met succes KORVANT op uw computer ge\xEFnstalleerd. Klik op Voltooien om af te sluiten.", -1},
    {"Label27", 8, 16, 16, -1, -1, "Installatie is niet voltooid", -1},
    {"Label28", 8, 16, 64, 361, 33,
        "Het programma is niet succesvol ge\xEFnstalleerd op uw PC. Het progamma zal mogelijk niet correct werken.", -1},
    {"Label30", 8, 16, 112, -1, -1, "Voer de installatie later opnieuw uit.", -1},
    {"Label29", 8, 16, 184, 377, 33, "Neem contact op met Tolvek BVBA indien het probleem zich blijft voordoen.", -1},
};

TEST_F(Wizard, EveryControlSitsOnItsPageWithItsTextPositionSizeAndTabOrder)
{
    for (const TExpectedControl& want : kControls) {
        SCOPED_TRACE(want.Name);
        auto* control = dynamic_cast<TWinControl*>(form->FindComponent(want.Name));
        ASSERT_NE(control, nullptr);
        HWND h = control->Handle();
        EXPECT_EQ(GetParent(h), form->Notebook1->Page(want.Page)->Handle());
        RECT r = RectInParent(h);
        EXPECT_EQ(r.left, want.Left);
        EXPECT_EQ(r.top, want.Top);
        if (want.Width >= 0) {
            EXPECT_EQ(r.right - r.left, want.Width);
        }
        if (want.Height >= 0) {
            EXPECT_EQ(r.bottom - r.top, want.Height);
        }
        if (want.Text) {
            EXPECT_EQ(WindowText(h), want.Text);
        }
        if (want.TabOrder >= 0) {
            EXPECT_EQ(control->TabOrder(), want.TabOrder);
        }
        EXPECT_EQ(control->TabStop(), want.TabOrder >= 0);
        EXPECT_TRUE(IsWindowEnabled(h));
        if (auto* label = dynamic_cast<TLabel*>(control)) {
            const bool wrapped = want.Width >= 0;
            EXPECT_EQ(label->WordWrap(), wrapped);
            EXPECT_EQ(label->AutoSize(), !wrapped);
            if (!wrapped && !label->Caption().empty()) {
                // A label that sizes itself holds its whole text, with at most
                // a glyph's overhang to spare.
                const SIZE size = TextExtent(h, WindowText(h));
                EXPECT_GE(r.right - r.left, size.cx);
                EXPECT_LE(r.right - r.left, size.cx + 4);
            }
        }
    }
}

// The whole layout at `dpi`: every 96-DPI figure of the design MulDiv-scaled,
// fonts included; labels that size themselves hold their text.
void ExpectLayoutAt(TfrmMain& form, int dpi)
{
    SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
    const auto px = [dpi](int v) { return MulDiv(v, dpi, 96); };
    EXPECT_EQ(form.PixelsPerInch(), dpi);
    RECT client;
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, px(535));
    EXPECT_EQ(client.bottom, px(392));
    const RECT image = RectInParent(form.Image1->Handle());
    EXPECT_EQ(image.right - image.left, px(129));
    EXPECT_EQ(image.bottom - image.top, px(352));
    const RECT bar = RectInParent(form.ButtonBar1->Handle());
    EXPECT_EQ(bar.top, px(352));
    EXPECT_EQ(bar.bottom - bar.top, px(40));
    EXPECT_EQ(bar.right - bar.left, px(535));
    const RECT book = RectInParent(form.Notebook1->Handle());
    EXPECT_EQ(book.left, px(129));
    EXPECT_EQ(book.right - book.left, px(406));
    EXPECT_EQ(book.bottom - book.top, px(352));
    for (auto [button, left] : {std::pair{form.btCANCEL, 8}, std::pair{form.btNEXT, 456}, std::pair{form.btFINISH, 456}}) {
        const RECT r = RectInParent(button->Handle());
        EXPECT_EQ(r.left, px(left)) << button->Name();
        EXPECT_EQ(r.top, px(8)) << button->Name();
        EXPECT_EQ(r.right - r.left, px(75)) << button->Name();
        EXPECT_EQ(r.bottom - r.top, px(25)) << button->Name();
        EXPECT_EQ(WindowFont(button->Handle()).lfHeight, px(-11)) << button->Name();
    }
    // The page showing fills the notebook (the others do when they show).
    const RECT page = RectInParent(form.Notebook1->Page(form.PageIndex())->Handle());
    EXPECT_EQ(page.right - page.left, px(406));
    EXPECT_EQ(page.bottom - page.top, px(352));
    for (const char* heading : {"Label22", "Label2", "Label5", "Label18", "Label14", "Label9", "Label17", "Label7",
             "Label27"}) {
        HWND h = dynamic_cast<TWinControl*>(form.FindComponent(heading))->Handle();
        EXPECT_EQ(RectInParent(h).left, px(16)) << heading;
        EXPECT_EQ(RectInParent(h).top, px(16)) << heading;
        EXPECT_EQ(WindowFont(h).lfHeight, px(-13)) << heading;
        EXPECT_EQ(WindowFont(h).lfWeight, FW_BOLD) << heading;
    }
    for (const TExpectedControl& want : kControls) {
        SCOPED_TRACE(want.Name);
        auto* control = dynamic_cast<TWinControl*>(form.FindComponent(want.Name));
        HWND h = control->Handle();
        const RECT r = RectInParent(h);
        EXPECT_EQ(r.left, px(want.Left));
        EXPECT_EQ(r.top, px(want.Top));
        if (want.Width >= 0) {
            EXPECT_EQ(r.right - r.left, px(want.Width));
        }
        if (want.Height >= 0) {
            EXPECT_EQ(r.bottom - r.top, px(want.Height));
        }
        const LONG fontHeight = WindowFont(h).lfHeight;
        if (std::string(want.Name) != "ProgressBar") {
            EXPECT_TRUE(fontHeight == px(-11) || fontHeight == px(-13)) << fontHeight;
        }
        if (auto* label = dynamic_cast<TLabel*>(control); label && label->AutoSize() && !label->Caption().empty()) {
            const SIZE size = TextExtent(h, WindowText(h));
            EXPECT_GE(r.right - r.left, size.cx);
            EXPECT_GE(r.bottom - r.top, size.cy);
        }
    }
}

// The DPI the test run set up: KORVANT_EXPECT_DPI from the DPI script, else
// whatever the screen has.
int ExpectedDpi()
{
    if (const char* env = std::getenv("KORVANT_EXPECT_DPI"))
        return std::atoi(env);
    const platform::win::TWindowDc screen = platform::win::GetWindowDc(nullptr);
    return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

TEST(WizardDpi, EveryPageAndTheCancelQuestionAreLaidOutForTheScreensDpi)
{
    const int dpi = ExpectedDpi();
    const std::string suffix = "-dpi" + std::to_string(dpi);
    EnsureTranslationIgnores(); // before the form records its texts
    Application->SetTitle("Korvant Setup");
    auto form = std::make_unique<TfrmMain>(nullptr);
    form->ShowForm();
    Application->ProcessMessages();
    ExpectLayoutAt(*form, dpi);
    layout_fit::ExpectTextsFit(*form, "Dutch");
    if (dpi == 144) {
        RECT client;
        GetClientRect(form->Handle(), &client);
        EXPECT_EQ(client.right, 803);
        EXPECT_EQ(client.bottom, 588);
        EXPECT_EQ(RectInParent(form->Label22->Handle()).left, 24);
        EXPECT_EQ(RectInParent(form->Label22->Handle()).top, 24);
    }

    // The question Cancel asks, as it shows at this DPI: the two lines and
    // the buttons fit, drawn in the scaled font.
    form->Notebook1->SetPageIndex(1);
    TModalScript script{0};
    script.Prepare = [&](TModalRequest& request) {
        TForm* dialog = request.Dialog;
        EXPECT_EQ(dialog->PixelsPerInch(), dpi);
        HWND message = dynamic_cast<TWinControl*>(dialog->FindComponent("Message"))->Handle();
        HWND yes = dynamic_cast<TWinControl*>(dialog->FindComponent("Yes"))->Handle();
        const TEXTMETRICA tm = TextMetrics(message);
        EXPECT_EQ(WindowFont(message).lfHeight, MulDiv(-11, dpi, 96));
        const RECT label = RectInParent(message), button = RectInParent(yes);
        EXPECT_EQ(label.bottom - label.top, 2 * tm.tmHeight) << "two lines, no more";
        EXPECT_LT(label.bottom, button.top);
        EXPECT_EQ(button.right - button.left, MulDiv(75, dpi, 96));
        RECT dialogClient;
        GetClientRect(dialog->Handle(), &dialogClient);
        EXPECT_LE(button.bottom, dialogClient.bottom);
        EXPECT_TRUE(SaveWindowPng(dialog->Handle(), ScreenshotFolder() + "/message-dialog" + suffix + ".png"));
        PostMessageA(dialog->Handle(), WM_CLOSE, 0, 0);
    };
    SendMessageA(form->btCANCEL->Handle(), BM_CLICK, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(script.Requests.size(), 1u);
    EXPECT_EQ(form->PageIndex(), 1);
    PictureEveryPage(*form, suffix);

    // The French texts are longer: pictured too, to be looked at for clipping.
    form->Notebook1->SetPageIndex(0);
    form->rbFRANS->SetChecked(true);
    form->btNEXT->Click();
    ExpectLayoutAt(*form, dpi);
    layout_fit::ExpectTextsFit(*form, "French");
    PictureEveryPage(*form, "-fr" + suffix);
    ChooseLanguage("nl");
}

TEST_F(Wizard, MovedToAScreenOfAnotherDpiTheFormIsLaidOutAnewAndBackWithoutLoss)
{
    const int start = form->PixelsPerInch();
    std::vector<RECT> before;
    for (const TExpectedControl& want : kControls)
        before.push_back(RectInParent(dynamic_cast<TWinControl*>(form->FindComponent(want.Name))->Handle()));
    for (int dpi : {144, 120, 192, start}) {
        // What Windows sends: the new DPI and the rectangle it suggests.
        RECT window;
        GetWindowRect(form->Handle(), &window);
        RECT suggested{window.left, window.top, window.left + MulDiv(window.right - window.left, dpi, 96),
            window.top + MulDiv(window.bottom - window.top, dpi, 96)};
        SendMessageA(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        Application->ProcessMessages();
        ExpectLayoutAt(*form, dpi);
        RECT now;
        GetWindowRect(form->Handle(), &now);
        EXPECT_EQ(now.left, suggested.left);
        EXPECT_EQ(now.top, suggested.top);
    }
    for (size_t i = 0; i < std::size(kControls); ++i) {
        const RECT r = RectInParent(dynamic_cast<TWinControl*>(form->FindComponent(kControls[i].Name))->Handle());
        EXPECT_TRUE(EqualRect(&r, &before[i])) << kControls[i].Name;
    }
}

TEST_F(Wizard, ControlsStartInTheirDesignedState)
{
    EXPECT_EQ(SendMessageA(form->rbNEDERLANDS->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(form->rbFRANS->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(form->PROXY_USE->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(form->rbSERVER->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(form->rbWORKSTATION->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    HWND bar = form->ProgressBar->Handle();
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);

    HWND variants = form->GegevensType->Handle();
    EXPECT_TRUE((GetWindowLongA(variants, GWL_STYLE) & 3) == CBS_DROPDOWNLIST);
    ASSERT_EQ(SendMessageA(variants, CB_GETCOUNT, 0, 0), 3);
    const char* items[] = {"Belgisch (Vlaamse) versie", "Nederlandse Versie", "Belgisch (Waalse) versie"};
    for (int i = 0; i < 3; ++i) {
        char text[64] = {};
        SendMessageA(variants, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, items[i]);
    }
    EXPECT_EQ(form->GegevensType->Values()->Text(), "benl\r\nnl\r\nbefr\r\n");
    EXPECT_EQ(SendMessageA(variants, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(form->GegevensType->Value(), "");
    EXPECT_EQ(form->GegevensType->ItemHeight(), 13);

    EXPECT_TRUE(GetWindowLongA(form->PROXY_POORT->Handle(), GWL_STYLE) & ES_RIGHT);
    EXPECT_EQ(form->PROXY_POORT->AsInteger(), 0);
    EXPECT_EQ(form->InstallDrive->TextOffset(), 4);
    EXPECT_EQ(form->InstallDrive->ItemHeight(), 16);
    EXPECT_TRUE(GetWindowLongA(form->InstallDrive->Handle(), GWL_STYLE) & CBS_OWNERDRAWFIXED);
    EXPECT_NE(form->GegevensLocatie->ButtonHandle(), nullptr);

    // Drive C is Wine's fixed drive: FormCreate selects it.
    EXPECT_EQ(form->InstallDrive->Drive(), 'C');
}

TEST_F(Wizard, NextMovesOnePageOnFromEveryPlainPageShowingOnlyTheCurrentOne)
{
    // Pages 3 and 5 run the installation steps; the end-to-end tests cover them.
    for (int i : {0, 1, 2, 4, 6, 7}) {
        SCOPED_TRACE(kPageNames[i]);
        form->Notebook1->SetPageIndex(i);
        Next();
        EXPECT_EQ(form->PageIndex(), i + 1);
        EXPECT_EQ(form->Notebook1->ActivePage(), kPageNames[i + 1]);
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(IsWindowVisible(form->Notebook1->Page(k)->Handle()) != 0, k == i + 1) << k;
        RECT page = RectInParent(form->Notebook1->Page(i + 1)->Handle());
        EXPECT_EQ(page.right - page.left, 406);
        EXPECT_EQ(page.bottom - page.top, 352);
        // Buttons as at start: Cancel visible, Next on top.
        EXPECT_TRUE(IsWindowVisible(form->btCANCEL->Handle()));
        EXPECT_EQ(HitAt(form->btNEXT->Handle()), form->btNEXT->Handle());
    }
    // Next on "Abort" (reachable from the keyboard only) changes nothing.
    Next();
    EXPECT_EQ(form->PageIndex(), 8);
}

TEST_F(Wizard, CancelAsksAndOnYesJumpsToAbortWithFinishOnTopAndCancelHidden)
{
    Next();
    Next();
    {
        TModalScript script{mrYes};
        Cancel();
        ASSERT_EQ(script.Requests.size(), 1u);
        const TModalRequest& ask = script.Requests[0];
        EXPECT_EQ(ask.Kind, TModalKind::MessageDialog);
        EXPECT_EQ(ask.Caption, "WAARSCHUWING");
        EXPECT_EQ(ask.Text, "De installatie is niet voltooid.\rBent u zeker ?");
        ASSERT_NE(ask.Dialog, nullptr);
    }
    ExpectAbortState();
    EXPECT_FALSE(form->btCANCEL->Visible());
    // Next is still enabled and visible, only covered.
    EXPECT_TRUE(IsWindowVisible(form->btNEXT->Handle()) && IsWindowEnabled(form->btNEXT->Handle()));
    Next();
    EXPECT_EQ(form->PageIndex(), 8);
}

TEST_F(Wizard, CancelAnsweredNoOrClosedChangesNothing)
{
    Next();
    for (int answer : {mrNo, mrCancel}) {
        TModalScript script{answer};
        Cancel();
        EXPECT_EQ(script.Requests.size(), 1u);
        EXPECT_EQ(form->PageIndex(), 1);
        EXPECT_TRUE(IsWindowVisible(form->btCANCEL->Handle()));
        EXPECT_EQ(HitAt(form->btNEXT->Handle()), form->btNEXT->Handle());
    }
}

TEST_F(Wizard, CancelDialogAnswersEnterWithYesAndEscapeWithNo)
{
    // The real dialog runs; the key goes to it as the user would press it.
    for (auto [key, expectAbort] : {std::pair{VK_ESCAPE, false}, std::pair{VK_RETURN, true}}) {
        TModalScript script{0};
        script.Prepare = [key = key](TModalRequest& request) {
            HWND focus = request.Dialog->ActiveControl()->Handle();
            PostMessageA(focus, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
        };
        Cancel();
        ASSERT_EQ(script.Requests.size(), 1u);
        EXPECT_EQ(form->PageIndex() == 8, expectAbort) << key;
        EXPECT_EQ(IsWindowVisible(form->btCANCEL->Handle()) == 0, expectAbort) << key;
    }
}

TEST_F(Wizard, CancelOnTheLastPageAfterCompletionStillShowsAbort)
{
    form->Notebook1->SetPageIndex(7);
    form->btFINISH->BringToFront(); // as the data step leaves it on "Einde"
    TModalScript script{mrYes};
    Cancel();
    ExpectAbortState();
}

TEST_F(Wizard, FinishClosesTheForm)
{
    TModalScript script;
    form->btFINISH->BringToFront();
    SendMessageA(form->btFINISH->Handle(), BM_CLICK, 0, 0);
    Application->ProcessMessages();
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    EXPECT_FALSE(form->Visible());
}

TEST_F(Wizard, TheTitleBarCloseButtonClosesWithoutAsking)
{
    TModalScript script; // no dialog expected
    Next();
    SendMessageA(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    EXPECT_TRUE(script.Requests.empty());
}

TEST_F(Wizard, TheDataChoiceEnablesTheVariantListAndKeepsItsSelection)
{
    form->GegevensType->SetItemIndex(2);
    SendMessageA(form->rbWORKSTATION->Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(form->GegevensType->Handle()));
    EXPECT_EQ(SendMessageA(form->rbSERVER->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(form->GegevensType->ItemIndex(), 2);
    EXPECT_EQ(form->GegevensType->Value(), "befr");
    // The other fields stay editable in both choices.
    EXPECT_TRUE(IsWindowEnabled(form->GegevensLocatie->Handle()));
    SendMessageA(form->rbSERVER->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(form->GegevensType->Handle()));
    EXPECT_EQ(form->GegevensType->ItemIndex(), 2);

    // Checking the proxy box enables or disables nothing.
    SendMessageA(form->PROXY_USE->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(form->PROXY_USE->Checked());
    EXPECT_TRUE(IsWindowEnabled(form->PROXY_SERVER->Handle()) && IsWindowEnabled(form->PROXY_POORT->Handle()));
    SendMessageA(form->PROXY_USE->Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(form->PROXY_USE->Checked());
    EXPECT_TRUE(IsWindowEnabled(form->PROXY_SERVER->Handle()) && IsWindowEnabled(form->PROXY_POORT->Handle()));
}

TEST_F(Wizard, ThePortFieldTakesDigitsAndOneLeadingSignOnly)
{
    HWND port = form->PROXY_POORT->Handle();
    for (char c : std::string("8a0x8!"))
        SendMessageA(port, WM_CHAR, static_cast<WPARAM>(c), 0);
    EXPECT_EQ(WindowText(port), "808");
    EXPECT_EQ(form->PROXY_POORT->AsInteger(), 808);
    SendMessageA(port, EM_SETSEL, 0, 0);
    SendMessageA(port, WM_CHAR, '-', 0);
    SendMessageA(port, EM_SETSEL, 0, 0);
    SendMessageA(port, WM_CHAR, '+', 0);
    EXPECT_EQ(WindowText(port), "-808");
    EXPECT_EQ(form->PROXY_POORT->AsInteger(), -808);
    SendMessageA(port, WM_CHAR, VK_BACK, 0); // control keys always pass
    SetWindowTextA(port, "");
    EXPECT_EQ(form->PROXY_POORT->AsInteger(), 0);
}

TEST_F(Wizard, BusyStateShowsTheProgressPageAndEndsOnEveryWayOut)
{
    form->Notebook1->SetPageIndex(3);
    try {
        TfrmMain::TBusyState busy(*form);
        EXPECT_EQ(form->PageIndex(), 4);
        EXPECT_FALSE(IsWindowEnabled(form->btNEXT->Handle()));
        EXPECT_EQ(Screen->Cursor(), TCursor::crHourGlass);
        throw std::runtime_error("step ends with a foreign exception");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(IsWindowEnabled(form->btNEXT->Handle()));
    EXPECT_EQ(Screen->Cursor(), TCursor::crDefault);
    EXPECT_EQ(form->PageIndex(), 4);
}

TEST_F(Wizard, AFailedStepShowsAbortAndTheMessageInASystemModalErrorBox)
{
    form->Notebook1->SetPageIndex(3);
    TModalScript script{IDOK};
    {
        TfrmMain::TBusyState busy(*form);
        try {
            throw EFCreateError("Cannot create file C:\\KORVANT07\\ZipEng179.dll");
        } catch (const Exception& e) {
            form->StepFailed(e);
        }
    }
    // The advance after the step asks for page 9, which is ignored.
    Next();
    ExpectAbortState();
    EXPECT_TRUE(IsWindowEnabled(form->btNEXT->Handle()));
    EXPECT_EQ(Screen->Cursor(), TCursor::crDefault);
    ASSERT_EQ(script.Requests.size(), 1u);
    const TModalRequest& box = script.Requests[0];
    EXPECT_EQ(box.Kind, TModalKind::MessageBox);
    EXPECT_EQ(box.Text, "Cannot create file C:\\KORVANT07\\ZipEng179.dll");
    EXPECT_EQ(box.Caption, "Korvant Setup");
    EXPECT_EQ(box.Flags, 0x1010u);
    EXPECT_EQ(box.Owner, form->Handle());
}

TEST_F(Wizard, AnExceptionEscapingAClickHandlerIsReportedAndTheWizardGoesOn)
{
    form->btNEXT->OnClick = [](TObject*) { throw EOSError("Unable to write to C:\\KORVANT07\\CONFIG07.INI"); };
    TModalScript script{IDOK};
    Next();
    ASSERT_EQ(script.Requests.size(), 1u);
    EXPECT_EQ(script.Requests[0].Text, "Unable to write to C:\\KORVANT07\\CONFIG07.INI");
    EXPECT_EQ(script.Requests[0].Caption, "Korvant Setup");
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
}

TEST_F(Wizard, TheVariantListGivesTheCodeOfTheChosenItemAndF1OpensIt)
{
    AdComboBox* list = form->GegevensType;
    EXPECT_EQ(list->Value(), "");
    SendMessageA(list->Handle(), CB_SETCURSEL, 1, 0);
    EXPECT_EQ(list->Value(), "nl");

    form->Notebook1->SetPageIndex(5);
    list->SetFocus();
    unsigned short seen = 0;
    list->OnKeyDown = [&](TObject*, unsigned short& key, TShiftState) { seen = key; };
    SendMessageA(list->Handle(), WM_KEYDOWN, VK_F1, 0);
    EXPECT_EQ(seen, VK_F1);
    EXPECT_TRUE(SendMessageA(list->Handle(), CB_GETDROPPEDSTATE, 0, 0));
    list->SetDroppedDown(false);

    // A handler that changes the key decides: F1 turned into F2 opens nothing.
    list->OnKeyDown = [](TObject*, unsigned short& key, TShiftState) { key = 0x71; };
    SendMessageA(list->Handle(), WM_KEYDOWN, VK_F1, 0);
    EXPECT_FALSE(SendMessageA(list->Handle(), CB_GETDROPPEDSTATE, 0, 0));
}

TEST_F(Wizard, EachPageIsPicturedForPeopleToLookAt)
{
    PictureEveryPage(*form, "");
}

} // namespace
