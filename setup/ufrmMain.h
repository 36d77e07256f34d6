#pragma once
// The wizard: one fixed-size dialog with nine pages and a button bar. Next
// walks the pages, Cancel (after confirmation) and a failed step jump to the
// last page, "Abort", and Finish ends the program.
#include "http/uNetHTTP.h"
#include "platform/uThreadCalls.h"
#include "runtime/ShellLink.h"
#include "setup/controls/uAdComboBox.h"
#include "setup/install/uInstallSteps.h"
#include "setup/install/uSetupLog.h"
#include "ui/uComCtrls.h"
#include "ui/uDirectoryEdit.h"
#include "ui/uDriveCombo.h"
#include "ui/uExtCtrls.h"
#include "ui/uForms.h"
#include "ui/uStdCtrls.h"
#include "ui/uValidateEdit.h"
#include "zip/uZipArchive.h"

#include <cstdint>
#include <functional>
#include <memory>

class TfrmMain : public TForm {
    RT_CLASS(TfrmMain, TForm)
public:
    explicit TfrmMain(TComponent* owner);
    ~TfrmMain() override;

    TImage* Image1;
    TButtonBar* ButtonBar1;
    TButton* btFINISH;
    TButton* btCANCEL;
    TButton* btNEXT;
    TNotebook* Notebook1;
    // "SelectTaal"
    TLabel* Label22;
    TLabel* Label1;
    TRadioButton* rbNEDERLANDS;
    TRadioButton* rbFRANS;
    // "Start"
    TLabel* Label2;
    TLabel* Label3;
    TLabel* Label4;
    // "Locatie"
    TLabel* Label5;
    TLabel* Label6;
    TDriveCombo* InstallDrive;
    // "ProxySettings"
    TLabel* Label18;
    TLabel* Label19;
    TLabel* Label23;
    TLabel* Label24;
    TCheckBox* PROXY_USE;
    TLabel* Label20;
    TEdit* PROXY_SERVER;
    TLabel* Label21;
    TValidateEdit* PROXY_POORT;
    // Below the fields: the proxy Windows would use when none is typed.
    TLabel* lbSYSPROXY;
    // "InstallMain"
    TLabel* Label14;
    TLabel* Label15;
    TLabel* Label16;
    TProgressBar* ProgressBar;
    // Below the bar: the file being fetched, how far, how fast, how long yet.
    TLabel* lbDOWNLOAD;
    // "Data"
    TLabel* Label9;
    TRadioButton* rbSERVER;
    TLabel* Label11;
    TRadioButton* rbWORKSTATION;
    TLabel* Label10;
    TLabel* Label13;
    AdComboBox* GegevensType;
    TLabel* Label12;
    TDirectoryEdit* GegevensLocatie;
    // Says that the data folder already holds a data set, which stays as it is.
    TLabel* lbDATAFOUND;
    // "InstallData"
    TLabel* Label17;
    TLabel* Label25;
    TLabel* Label26;
    // "Einde"
    TLabel* Label7;
    TLabel* Label8;
    // "Abort"
    TLabel* Label27;
    TLabel* Label28;
    TLabel* Label30;
    TLabel* Label29;
    // Where the log of this run lies, for the support desk.
    TLabel* lbLOGPATH;
    // Non-visual components: those of the installation steps.
    TNetHTTP* NetHTTP;
    TZipArchive* ZipArchive;
    TShellLink* ShellLink;

    void FormCreate(TObject* sender);
    void btNEXTClick(TObject* sender);
    void btCANCELClick(TObject* sender);
    void btFINISHClick(TObject* sender);
    void rbSERVERClick(TObject* sender);

    // Modal Yes/No question captioned "WAARSCHUWING"; true on Yes.
    bool AskConfirmation(const AnsiString& message);
    // Modal Retry/Cancel question captioned with the application title; true on Retry.
    bool AskRetry(const AnsiString& message);
    // The proxy's logon question (a small modal dialog); false on Cancel.
    bool AskProxyCredentials(const AnsiString& proxy, bool refused, TProxyCredentials& credentials);
    // System-modal error box captioned with the application title.
    void ShowErrorBox(const AnsiString& message);

    // The busy state of an installation step: Next disabled, the step's
    // progress page (the next one) shown and painted, hourglass cursor. Its
    // end restores the cursor and Next, on every way out of the step.
    class TBusyState {
    public:
        explicit TBusyState(TfrmMain& form);
        ~TBusyState();
        TBusyState(const TBusyState&) = delete;
        TBusyState& operator=(const TBusyState&) = delete;

    private:
        TfrmMain& FForm;
    };
    // A cancelled step: "Abort" page, Finish on top, Cancel hidden.
    void StepCancelled();
    // The failure path of a step: the same page and buttons, and the message
    // in an error box.
    void StepFailed(const Exception& error);

    // The steps' progress on the one progress bar, as the steps report it.
    void NetHTTPWorkBegin(TObject* sender, TWorkMode workMode, std::int32_t workCountMax);
    void NetHTTPWork(TObject* sender, TWorkMode workMode, std::int32_t workCount);
    void NetHTTPWorkEnd(TObject* sender, TWorkMode workMode);
    void ZipArchiveTotalProgress(TObject* sender, std::int64_t totalSize, int percent);
    // The line below the bar: the file being fetched, how far, how fast, how long yet.
    void ShowDownloadStatus(const AnsiString& text);

    // Leaving "ProxySettings": the program files into the install folder.
    void InstallProgram();
    // Leaving "Data": the data set, the configuration and the shortcut. False
    // when it ended early, back on "Data", and the wizard must not advance.
    bool InstallData();
    // Drive letter of the install drive list + ":\KORVANT07\".
    AnsiString InstallFolder() const;
    // What the pages decided, as the steps take it.
    TInstallChoices Choices() const;
    // The installation steps the wizard shows.
    TInstallSteps& Steps() { return *FSteps; }

    // The proxy page's line of the system's proxy, in the chosen language;
    // hidden until Windows has answered.
    void ShowSystemProxy();

    // A folder holds a data set exactly when GLOBAL\WINKEL.DAT exists in it.
    static bool HoldsDataSet(const AnsiString& folder);
    // The "Data" page is shown: a data set in the data folder is kept, so
    // "Installeer GEEN gegevens." is chosen and the page says why.
    void DataPageShown();
    // Next on "Data": false (after the error box) when an empty data set
    // would be installed over an existing one.
    bool DataChoiceAllowed();

    // The support log of this run; never stops the wizard.
    TSetupLog& Log() { return *FLog; }

    // The page the wizard shows and the page count.
    int PageIndex() const { return Notebook1->PageIndex(); }
    int PageCount() const { return Notebook1->PageCount(); }

private:
    void CreateControls();
    void CreateFrame();
    void CreateFirstPages();
    void CreateProxyPage(TPage* page);
    void CreateProgressPage(TPage* page);
    void CreateDataPage(TPage* page);
    void CreateLastPages();
    TLabel* AddLabel(TWinControl* page, const char* name, int left, int top, const AnsiString& caption);
    TLabel* AddWrappedLabel(TWinControl* page, const char* name, int left, int top, int width, int height,
        const AnsiString& caption);
    TLabel* AddHeading(TWinControl* page, const char* name, const AnsiString& caption);
    void JumpToAbort();
    void CreateInstallComponents();
    // Runs a step on a worker thread while this thread keeps handling the
    // window's messages; returns when the step has ended, rethrowing what
    // escaped it.
    TStepResult RunStep(const std::function<TStepResult(TInstallSink&)>& step);

    // After a step or a cancel: when the focus is lost (the disabled Next
    // had it) or lies on a button that is hidden or covered, it goes to the
    // button on top of Next's spot, so the keyboard can carry on.
    void FocusButtonOnTop();

    // Calls from other threads into this one; it outlives the steps, whose
    // lookup of the system's proxy posts here.
    std::unique_ptr<platform::TThreadCalls> FCalls;
    std::unique_ptr<TInstallSteps> FSteps;
    // The step state: a step runs (Next must not start another), a Cancel
    // question is up.
    bool FStepRunning = false;
    bool FAskingCancel = false;

    std::unique_ptr<TSetupLog> FLog;
    // The run's end is logged once: Finish, the close button, or the end of the program.
    bool FEndLogged = false;
    void LogRunEnd(const char* how);
};

extern TfrmMain* frmMain;

// What form translation must never touch: names, fonts, the page list, the
// request settings, the archive component's language and the variant codes.
// Once, at start-up, before the form exists.
void RegisterTranslationIgnores();
