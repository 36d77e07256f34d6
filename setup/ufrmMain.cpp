#include "ufrmMain.h"
#include "ufrmProxyLogon.h"

#include "translation/uTranslator.h"
#include "ui/uActnList.h"
#include "ui/uDialogs.h"
#include "platform/uOwner.h"
#include "platform/uSystemInfo.h"
#include "runtime/uSysUtils.h"

TfrmMain* frmMain = nullptr;

void RegisterTranslationIgnores()
{
    GlobalIgnoreClassProperty(&TAction::ClassInfo(), "Category");
    GlobalIgnoreClassProperty(&TControl::ClassInfo(), "HelpKeyword");
    GlobalIgnoreClassProperty(&TNotebook::ClassInfo(), "Pages");
    GlobalIgnoreClassProperty(&TControl::ClassInfo(), "ImeName");
    GlobalIgnoreWholeClass(&TFont::ClassInfo());
    GlobalIgnoreClassProperty(&TNetHTTP::ClassInfo(), "Request");
    GlobalIgnoreClassProperty(&TZipArchive::ClassInfo(), "Language");
    GlobalIgnoreClassProperty(&AdComboBox::ClassInfo(), "Values");
}

namespace {
constexpr int ProxyPageIndex = 3;
constexpr int DataPageIndex = 5;

// A Dutch text of the wizard's own, in the chosen language.
AnsiString Translated(const char16_t* text) { return WideToAnsi(TranslateText(text)); }
} // namespace

namespace {
// The form's texts are Dutch in the ANSI code page (Windows-1252).
constexpr const char* kFrancais = "Fran\xE7" "ais";
constexpr const char* kGeinstalleerd = "ge\xEF" "nstalleerd";

AnsiString Geinstalleerd(const char* before, const char* after = "")
{
    return AnsiString(before) + kGeinstalleerd + after;
}
} // namespace

TfrmMain::TfrmMain(TComponent* owner) : TForm(owner)
{
    SetName("frmMain");
    SetCaption("KORVANT - Setup");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    SetClientWidth(535);
    SetClientHeight(392);
    SetColor(clWhite);
    Font()->SetName("Tahoma");
    Font()->SetHeight(-11);
    Font()->SetStyle(0);
    Font()->SetCharset(ANSI_CHARSET_);
    FLog = std::make_unique<TSetupLog>();
    FLog->Write(AnsiString("KORVANT Setup ") + KORVANT_SETUP_VERSION + ", Windows " + platform::WindowsVersion());
    CreateControls();
    CreateInstallComponents();
    // Closing during a step (title bar, Finish by keyboard) stops the step
    // the way a confirmed Cancel does; the form closes without asking.
    OnClose = [this](TObject*, TCloseAction&) {
        if (FStepRunning)
            FSteps->RequestCancel();
    };
    OnCreate = [this](TObject* sender) { FormCreate(sender); };
    OnCreate(this);
}

TfrmMain::~TfrmMain() { LogRunEnd("the wizard was closed"); }

void TfrmMain::LogRunEnd(const char* how)
{
    if (FEndLogged)
        return;
    FEndLogged = true;
    const int page = Notebook1->PageIndex();
    const char* state = page == PageCount() - 2 ? "installed" : "not installed";
    Log().Write(AnsiString("End: ") + how + " on page " + Notebook1->Pages()->Get(page) + ", " + state);
}

TLabel* TfrmMain::AddLabel(TWinControl* page, const char* name, int left, int top, const AnsiString& caption)
{
    auto* label = new TLabel(this);
    label->SetName(name);
    label->SetLeft(left);
    label->SetTop(top);
    label->SetParent(page);
    label->SetCaption(caption);
    return label;
}

TLabel* TfrmMain::AddWrappedLabel(TWinControl* page, const char* name, int left, int top, int width, int height,
    const AnsiString& caption)
{
    auto* label = new TLabel(this);
    label->SetName(name);
    label->SetAutoSize(false);
    label->SetWordWrap(true);
    label->SetBounds(left, top, width, height);
    label->SetParent(page);
    label->SetCaption(caption);
    return label;
}

TLabel* TfrmMain::AddHeading(TWinControl* page, const char* name, const AnsiString& caption)
{
    TLabel* label = AddLabel(page, name, 16, 16, caption);
    label->Font()->SetHeight(-13);
    label->Font()->SetStyle(FontStyle(TFontStyle::fsBold));
    return label;
}

namespace {
template <class T> T* Place(T* control, const char* name, TWinControl* parent, int left, int top, int width, int height)
{
    control->SetName(name);
    control->SetBounds(left, top, width, height);
    control->SetParent(parent);
    return control;
}
} // namespace

void TfrmMain::CreateControls()
{
    CreateFrame();
    for (const char* name : {"SelectTaal", "Start", "Locatie", "ProxySettings", "InstallMain", "Data", "InstallData",
             "Einde", "Abort"})
        Notebook1->AddPage(name);
    CreateFirstPages();
    CreateProxyPage(Notebook1->Page(3));
    CreateProgressPage(Notebook1->Page(4));
    CreateDataPage(Notebook1->Page(5));
    CreateLastPages();
}

// The picture strip, the button bar and its buttons, the page container.
void TfrmMain::CreateFrame()
{
    Image1 = Place(new TImage(this), "Image1", this, 0, 0, 129, 352);
    Image1->SetAlign(TAlign::alLeft);

    ButtonBar1 = Place(new TButtonBar(this), "ButtonBar1", this, 0, 352, 535, 40);
    ButtonBar1->SetAlign(TAlign::alBottom);
    ButtonBar1->SetColor(clBtnFace);
    ButtonBar1->Font()->SetName("Tahoma");
    ButtonBar1->Font()->SetHeight(-11);
    ButtonBar1->SetParentFont(false);
    ButtonBar1->SetTabOrder(0);

    Notebook1 = Place(new TNotebook(this), "Notebook1", this, 129, 0, 406, 352);
    Notebook1->SetAlign(TAlign::alClient);
    Notebook1->SetTabOrder(1);

    // Next and Finish share one spot; Next, created later, starts on top.
    btFINISH = Place(new TButton(this), "btFINISH", ButtonBar1, 456, 8, 75, 25);
    btFINISH->SetCaption("Voltooien");
    btFINISH->SetAnchors(akTop | akRight);
    btFINISH->OnClick = [this](TObject* s) { btFINISHClick(s); };
    btCANCEL = Place(new TButton(this), "btCANCEL", ButtonBar1, 8, 8, 75, 25);
    btCANCEL->SetCaption("&Annuleer");
    btCANCEL->OnClick = [this](TObject* s) { btCANCELClick(s); };
    btNEXT = Place(new TButton(this), "btNEXT", ButtonBar1, 456, 8, 75, 25);
    btNEXT->SetCaption("Volgende >");
    btNEXT->SetAnchors(akTop | akRight);
    btNEXT->OnClick = [this](TObject* s) { btNEXTClick(s); };
    btCANCEL->SetTabOrder(0);
    btNEXT->SetTabOrder(1);
    btFINISH->SetTabOrder(2);
}

// The language, welcome and drive pages.
void TfrmMain::CreateFirstPages()
{
    TPage* page = Notebook1->Page(0);
    Label22 = AddHeading(page, "Label22", "KORVANT Setup");
    Label1 = AddLabel(page, "Label1", 16, 64, "Kies uw taal - Choisissez votre langue");
    rbNEDERLANDS = Place(new TRadioButton(this), "rbNEDERLANDS", page, 32, 96, 113, 17);
    rbNEDERLANDS->SetCaption("Nederlands");
    rbNEDERLANDS->SetChecked(true);
    rbFRANS = Place(new TRadioButton(this), "rbFRANS", page, 32, 120, 113, 17);
    rbFRANS->SetCaption(kFrancais);

    page = Notebook1->Page(1);
    Label2 = AddHeading(page, "Label2", "Welkom bij het installatie programma voor KORVANT");
    // Wrapped within the page: bold text grows faster than the page on finer
    // screens, and the last word would be cut off.
    Label2->SetAutoSize(false);
    Label2->SetWordWrap(true);
    Label2->SetBounds(16, 16, 390, 41);
    Label3 = AddWrappedLabel(page, "Label3", 16, 64, 377, 33,
        "Deze routine zal KORVANT op uw computer installeren. Kies voor Volgende om door te gaan.");
    Label4 = AddWrappedLabel(page, "Label4", 16, 304, 377, 33, "");

    page = Notebook1->Page(2);
    Label5 = AddHeading(page, "Label5", "Locatie");
    // Wrapped: the French text is wider than the page.
    Label6 = AddWrappedLabel(page, "Label6", 16, 64, 377, 30,
        "Selecteer een schijf waarop u het programma wenst te installeren");
    InstallDrive = Place(new TDriveCombo(this), "InstallDrive", page, 16, 96, 313, 22);
    InstallDrive->SetTextOffset(4);
    InstallDrive->SetItemHeight(16);
    Label6->SetFocusControl(InstallDrive);
}

void TfrmMain::CreateProxyPage(TPage* page)
{
    Label18 = AddHeading(page, "Label18", "Proxy Instellingen");
    Label19 = AddWrappedLabel(page, "Label19", 16, 64, 385, 41,
        "Het installatie programma zal de nodige componenten downloaden en installeren.");
    Label23 = AddWrappedLabel(page, "Label23", 16, 112, 363, 41,
        "Het installatie programma vereist hiervoor toegang tot het internet .  Schakel eventueel uw firewall "
        "programma uit.");
    Label24 = AddWrappedLabel(page, "Label24", 16, 160, 369, 41,
        "Indien u over een proxyserver beschikt kan u hier de gegevens ingeven.");
    PROXY_USE = Place(new TCheckBox(this), "PROXY_USE", page, 16, 200, 217, 17);
    PROXY_USE->SetCaption("Een proxyserver gebruiken");
    Label20 = AddLabel(page, "Label20", 16, 232, "Adres");
    // The edits start where the longer French labels ("Adresse") end.
    PROXY_SERVER = Place(new TEdit(this), "PROXY_SERVER", page, 72, 232, 305, 21);
    Label20->SetFocusControl(PROXY_SERVER);
    Label21 = AddLabel(page, "Label21", 16, 256, "Poort");
    PROXY_POORT = Place(new TValidateEdit(this), "PROXY_POORT", page, 72, 256, 49, 21);
    Label21->SetFocusControl(PROXY_POORT);
    PROXY_POORT->SetCheckChars("01234567890");
    PROXY_POORT->SetDisplayFormat(TDisplayFormat::dfInteger);
    // Shown once Windows has said which proxy it would use; designed as the
    // answer of a PC without one, so the form's translation knows the text.
    lbSYSPROXY = AddWrappedLabel(page, "lbSYSPROXY", 16, 288, 377, 33, "Geen systeemproxy");
    lbSYSPROXY->SetVisible(false);
}

void TfrmMain::CreateProgressPage(TPage* page)
{
    Label14 = AddHeading(page, "Label14", "Vooruitgang");
    Label15 = AddLabel(page, "Label15", 16, 64, "Even geduld aub.");
    Label16 = AddLabel(page, "Label16", 16, 96, Geinstalleerd("De componenten worden gedownload en "));
    ProgressBar = Place(new TProgressBar(this), "ProgressBar", page, 16, 128, 369, 17);
    ProgressBar->SetMin(0);
    ProgressBar->SetMax(100);
    lbDOWNLOAD = AddLabel(page, "lbDOWNLOAD", 16, 152, "");
}

void TfrmMain::CreateDataPage(TPage* page)
{
    Label9 = AddHeading(page, "Label9", "Gegevens installeren");
    rbSERVER = Place(new TRadioButton(this), "rbSERVER", page, 40, 48, 345, 17);
    rbSERVER->SetCaption("Installeer de gegevens op de PC");
    rbSERVER->SetChecked(true);
    Label11 = AddLabel(page, "Label11", 64, 72, "Installeer een leeg gegevens bestand");
    rbWORKSTATION = Place(new TRadioButton(this), "rbWORKSTATION", page, 40, 96, 353, 17);
    rbWORKSTATION->SetCaption("Installeer GEEN gegevens.");
    Label10 = AddWrappedLabel(page, "Label10", 64, 120, 279, 33,
        "De gegevens zijn aanwezig of  staan op een andere PC/Server");
    Label13 = AddLabel(page, "Label13", 16, 200, "Gegevens");
    GegevensType = Place(new AdComboBox(this), "GegevensType", page, 16, 224, 377, 21);
    GegevensType->SetStyle(TComboBoxStyle::csDropDownList);
    GegevensType->SetItemHeight(13);
    for (const char* item : {"Belgisch (Vlaamse) versie", "Nederlandse Versie", "Belgisch (Waalse) versie"})
        GegevensType->Items()->Add(item);
    for (const char* code : {"benl", "nl", "befr"})
        GegevensType->Values()->Add(code);
    Label12 = AddLabel(page, "Label12", 16, 264, "Locatie voor de gegevens");
    GegevensLocatie = Place(new TDirectoryEdit(this), "GegevensLocatie", page, 16, 288, 377, 21);
    GegevensLocatie->SetText("GegevensLocatie");
    lbDATAFOUND = AddWrappedLabel(page, "lbDATAFOUND", 16, 160, 377, 33, "");
    lbDATAFOUND->SetVisible(false);
    Label13->SetFocusControl(GegevensType);
    Label12->SetFocusControl(GegevensLocatie);
    GegevensType->SetTabOrder(3);
    rbSERVER->OnClick = [this](TObject* s) { rbSERVERClick(s); };
    rbWORKSTATION->OnClick = [this](TObject* s) { rbSERVERClick(s); };
}

// The data progress page, the end page and the "Abort" page.
void TfrmMain::CreateLastPages()
{
    TPage* page = Notebook1->Page(6);
    Label17 = AddHeading(page, "Label17", "Gegevens Installeren");
    Label25 = AddLabel(page, "Label25", 16, 64, "Even geduld aub");
    Label26 = AddLabel(page, "Label26", 16, 96, Geinstalleerd("De gegevens worden "));

    page = Notebook1->Page(7);
    Label7 = AddHeading(page, "Label7", "Installatie voltooid");
    Label8 = AddWrappedLabel(page, "Label8", 16, 64, 377, 57,
        Geinstalleerd("Deze routine heeft met succes KORVANT op uw computer ", ". Klik op Voltooien om af te sluiten."));

    page = Notebook1->Page(8);
    Label27 = AddHeading(page, "Label27", "Installatie is niet voltooid");
    Label28 = AddWrappedLabel(page, "Label28", 16, 64, 361, 33,
        Geinstalleerd("Het programma is niet succesvol ",
            " op uw PC. Het progamma zal mogelijk niet correct werken."));
    Label30 = AddLabel(page, "Label30", 16, 112, "Voer de installatie later opnieuw uit.");
    // Wrapped: on one line it runs past the page's edge.
    Label29 = AddWrappedLabel(page, "Label29", 16, 184, 377, 33,
        "Neem contact op met Tolvek BVBA indien het probleem zich blijft voordoen.");
    lbLOGPATH = AddWrappedLabel(page, "lbLOGPATH", 16, 136, 377, 41, "");
    lbLOGPATH->SetVisible(false);
}

void TfrmMain::FormCreate(TObject*)
{
    // Records every text as designed, so that the language can be switched
    // either way later.
    ChooseLanguage("nl");
    TranslateComponent(this);
    Notebook1->SetPageIndex(0);
    InstallDrive->SetDrive('C');
}

void TfrmMain::btNEXTClick(TObject*)
{
    // Next is disabled during a step; a click that still comes (posted by
    // another program) must not start a second one inside the first.
    if (FStepRunning)
        return;
    switch (Notebook1->PageIndex()) {
    case 0: // "SelectTaal"
        ChooseLanguage(rbNEDERLANDS->Checked() ? "nl" : "fr");
        RetranslateComponent(this);
        Log().Write(AnsiString("Language: ") + (rbNEDERLANDS->Checked() ? "nl" : "fr"));
        ShowSystemProxy();
        break;
    case 3: // "ProxySettings"
        InstallProgram();
        break;
    case 5: // "Data"
        if (!DataChoiceAllowed())
            return;
        if (!InstallData())
            return;
        break;
    default:
        break;
    }
    // Re-read after the page's own action: a step moves the page itself.
    Notebook1->SetPageIndex(Notebook1->PageIndex() + 1);
    if (Notebook1->PageIndex() == DataPageIndex)
        DataPageShown();
    if (Notebook1->PageIndex() == ProxyPageIndex)
        ShowSystemProxy();
}

void TfrmMain::ShowSystemProxy()
{
    const std::optional<TProxyRoute> route = FSteps->SystemProxyAnswer();
    if (!route)
        return;
    const AnsiString text = route->Direct()
                                ? Translated(u"Geen systeemproxy")
                                : Format(Translated(u"Systeemproxy: %s").c_str(), route->Hops.front().Text().c_str());
    lbSYSPROXY->SetCaption(text);
    if (lbSYSPROXY->Visible())
        return;
    lbSYSPROXY->SetVisible(true);
    Log().Write("Proxy page: " + (route->Direct() ? AnsiString("no system proxy") : "system proxy " + route->Text()) +
                " (" + route->Source + ")");
}

bool TfrmMain::HoldsDataSet(const AnsiString& folder)
{
    // An empty field is no folder: "\GLOBAL" would be the current drive's.
    if (Trim(folder).empty())
        return false;
    return FileExists(IncludeTrailingBackslash(folder) + "GLOBAL\\WINKEL.DAT");
}

void TfrmMain::DataPageShown()
{
    const AnsiString folder = GegevensLocatie->Text();
    const bool found = HoldsDataSet(folder);
    Log().Write("Data page: " + folder + (found ? " holds a data set" : " holds no data set"));
    lbDATAFOUND->SetCaption(found ? Translated(u"Er zijn al gegevens gevonden op deze locatie. Ze blijven ongewijzigd.")
                                  : AnsiString());
    lbDATAFOUND->SetVisible(found);
    if (found) {
        rbWORKSTATION->SetChecked(true);
        rbSERVERClick(rbWORKSTATION);
    }
}

bool TfrmMain::DataChoiceAllowed()
{
    const AnsiString folder = GegevensLocatie->Text();
    Log().Write(AnsiString("Data choice: ") + (rbSERVER->Checked() ? "install data" : "no data") + ", folder " +
                folder + ", variant " + GegevensType->Value());
    if (!rbSERVER->Checked() || !HoldsDataSet(folder))
        return true;
    // The folder was typed or browsed after the page was shown: it is
    // judged now, and its data are never overwritten.
    ShowErrorBox(Translated(u"De opgegeven locatie bevat al gegevens. Deze worden niet overschreven."));
    lbDATAFOUND->SetCaption(Translated(u"Er zijn al gegevens gevonden op deze locatie. Ze blijven ongewijzigd."));
    lbDATAFOUND->SetVisible(true);
    GegevensLocatie->SetFocus();
    return false;
}

void TfrmMain::JumpToAbort()
{
    Notebook1->SetPageIndex(Notebook1->PageCount() - 1);
    if (!Log().Path().empty() && !lbLOGPATH->Visible()) {
        lbLOGPATH->SetCaption(Format(Translated(u"Het verslag van deze installatie staat in %s").c_str(),
                                     Log().Path().c_str()));
        lbLOGPATH->SetVisible(true);
    }
}

void TfrmMain::btCANCELClick(TObject*)
{
    if (FAskingCancel)
        return;
    const AnsiString message = WideToAnsi(TranslateText(u"De installatie is niet voltooid.") + u'\r' +
                                          TranslateText(u"Bent u zeker ?"));
    bool confirmed = false;
    {
        // The flag keeps this handler from running inside its own question.
        FAskingCancel = true;
        platform::TScopeGuard asked([this] { FAskingCancel = false; });
        // A running step stands still while the user decides, and goes on
        // once the question is gone, however it went; when the answer is
        // Yes it stops at its next check and leaves the page as this.
        if (FStepRunning)
            FSteps->Hold(true);
        platform::TScopeGuard resume([&] {
            if (confirmed && FStepRunning)
                FSteps->RequestCancel();
            FSteps->Hold(false);
        });
        confirmed = AskConfirmation(message);
        Log().Write(AnsiString("Question: Cancel? Answer: ") + (confirmed ? "Yes" : "No"));
    }
    if (confirmed)
        StepCancelled();
}

void TfrmMain::btFINISHClick(TObject*)
{
    LogRunEnd("Finish");
    Close();
}

void TfrmMain::rbSERVERClick(TObject*) { GegevensType->SetEnabled(rbSERVER->Checked()); }

bool TfrmMain::AskConfirmation(const AnsiString& message)
{
    std::unique_ptr<TForm> dialog = CreateMessageDialog(message, TMsgDlgType::mtConfirmation, mbYes | mbNo);
    dialog->SetCaption(WideToAnsi(TranslateText(u"WAARSCHUWING")));
    return dialog->ShowModal() == mrYes;
}

bool TfrmMain::AskRetry(const AnsiString& message)
{
    constexpr unsigned RetryCancel = 0x0005, IdRetry = 4; // MB_RETRYCANCEL, IDRETRY
    return Application->MessageBox(message, Application->Title(), RetryCancel | mbfIconWarning) == IdRetry;
}

bool TfrmMain::AskProxyCredentials(const AnsiString& proxy, bool refused, TProxyCredentials& credentials)
{
    TfrmProxyLogon dialog(proxy, refused);
    return dialog.Ask(credentials);
}

void TfrmMain::ShowErrorBox(const AnsiString& message)
{
    Log().Write("Error box: " + message);
    Application->MessageBox(message, Application->Title(), mbfSystemModal | mbfIconError);
}

TfrmMain::TBusyState::TBusyState(TfrmMain& form) : FForm(form)
{
    FForm.FStepRunning = true;
    FForm.FSteps->ClearCancel();
    FForm.btNEXT->SetEnabled(false);
    FForm.Notebook1->SetPageIndex(FForm.Notebook1->PageIndex() + 1);
    Screen->SetCursor(TCursor::crHourGlass);
    Application->ProcessMessages();
}

TfrmMain::TBusyState::~TBusyState()
{
    FForm.FStepRunning = false;
    Screen->SetCursor(TCursor::crDefault);
    FForm.btNEXT->SetEnabled(true);
    FForm.FocusButtonOnTop();
}

void TfrmMain::FocusButtonOnTop()
{
    if (!Active())
        return;
    // Of the two buttons on one spot, the one later in the bar's list is on top.
    int next = -1, finish = -1;
    for (int i = 0; i < ButtonBar1->ControlCount(); ++i)
        if (ButtonBar1->Controls(i) == btNEXT)
            next = i;
        else if (ButtonBar1->Controls(i) == btFINISH)
            finish = i;
    TButton* top = finish > next ? btFINISH : btNEXT;
    TButton* covered = top == btNEXT ? btFINISH : btNEXT;
    TWinControl* focus = FocusedControl();
    if (!focus || focus == covered || (focus == btCANCEL && !btCANCEL->Visible()))
        top->SetFocus();
}

void TfrmMain::StepCancelled()
{
    JumpToAbort();
    btFINISH->BringToFront();
    btCANCEL->Hide();
    FocusButtonOnTop();
}

void TfrmMain::StepFailed(const Exception& error)
{
    StepCancelled();
    ShowErrorBox(error.Message());
}
