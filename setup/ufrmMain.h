#pragma once
// The wizard: one fixed-size dialog with nine pages and a button bar. Next
// walks the pages, Cancel (after confirmation) and a failed step jump to the
// last page, "Abort", and Finish ends the program.
#include "http/uNetHTTP.h"
#include "http/uNetStack.h"
#include "runtime/ShellLink.h"
#include "trust/uManifest.h"
#include "trust/uVerifyingStream.h"
#include "setup/controls/uAdComboBox.h"
#include "setup/log/uSetupLog.h"
#include "ui/uComCtrls.h"
#include "ui/uDirectoryEdit.h"
#include "ui/uDriveCombo.h"
#include "ui/uExtCtrls.h"
#include "ui/uForms.h"
#include "ui/uStdCtrls.h"
#include "ui/uValidateEdit.h"
#include "zip/uZipArchive.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>

// A step the user cancelled (Cancel confirmed, or the wizard closed) ends with
// this. Not one of the runtime's exceptions on purpose: no handler that turns
// failures into messages or retries may take it for one.
class EStepCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

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
    // Non-visual components.
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
        // Socket waits of the step keep the window alive and can be cancelled.
        TNetWaitHookScope FWaitHook;
    };
    // A cancelled step: "Abort" page, Finish on top, Cancel hidden.
    void StepCancelled();
    // The failure path of a step: the same page and buttons, and the message
    // in an error box.
    void StepFailed(const Exception& error);

    // The window stays alive during a step: from inside downloads, waits and
    // extraction the pending messages are handled, at most every
    // KeepAliveIntervalMs so the work is not slowed, and never re-entrantly.
    static constexpr std::uint64_t KeepAliveIntervalMs = 50;
    void KeepAlive();
    // The running step was cancelled (Cancel confirmed, or the wizard closed).
    bool Cancelled() const { return FStepRunning && FCancelRequested; }
    // Raises EStepCancelled once it was.
    void CheckCancelled();
    // Both: what every long piece of a step calls as it goes.
    void StepTick();

    // Progress of downloads and extraction on the one progress bar.
    void NetHTTPWorkBegin(TObject* sender, TWorkMode workMode, std::int32_t workCountMax);
    void NetHTTPWork(TObject* sender, TWorkMode workMode, std::int32_t workCount);
    void NetHTTPWorkEnd(TObject* sender, TWorkMode workMode);
    void ZipArchiveTotalProgress(TObject* sender, std::int64_t totalSize, int percent);

    // Downloads base URL + remote name into the local file; raises on failure.
    // With a key built in, the file must match its line of the signed
    // component list (size and SHA-256, hashed as the bytes arrive), or it is
    // deleted and the step fails naming it.
    void FetchFile(const AnsiString& remoteName, const AnsiString& localPath);
    // Fetches "manifest.txt" and "manifest.sig" once and checks the
    // signature; raises naming the list when it is missing or not genuine.
    void LoadComponentList();
    // Extracts the archive beside itself, then deletes it; raises (and keeps
    // the archive) when extraction failed.
    void UnpackArchive(const AnsiString& archivePath);
    // Runs program + arguments (which start with a blank) and waits for it;
    // the exit code, or -1 when it cannot be started. `whileWaiting` runs
    // whenever a message arrives meanwhile.
    static int RunAndWait(const AnsiString& program, const AnsiString& arguments, std::uint16_t showWindow,
                          const std::function<void()>& whileWaiting = nullptr);

    // Leaving "ProxySettings": the program files into the install folder.
    void InstallProgram();
    // Leaving "Data": the data set, the configuration and the shortcut. False
    // when it ended early, back on "Data", and the wizard must not advance.
    bool InstallData();
    // Drive letter of the install drive list + ":\KORVANT07\".
    AnsiString InstallFolder() const;

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
    TLabel* AddLabel(TWinControl* page, const char* name, int left, int top, const AnsiString& caption);
    TLabel* AddWrappedLabel(TWinControl* page, const char* name, int left, int top, int width, int height,
        const AnsiString& caption);
    TLabel* AddHeading(TWinControl* page, const char* name, const AnsiString& caption);
    void JumpToAbort();
    void CreateInstallComponents();
    void ApplyProxySettings();
    // A Dutch text of the wizard's own, in the chosen language.
    static AnsiString Translated(const char16_t* text);
    // "HTTP Error:" with the last answer's status, the error of any answer
    // that is not the file.
    Exception HttpError() const;
    // Download that survives a drop: up to three more tries after 1, 2 and
    // 4 s, each asking only for the rest when the server can give it.
    void DownloadWithRetries(const AnsiString& remoteName, TVerifyingStream& destination);

    // The line below the bar for `done` of `total` bytes of the current file.
    void ShowDownloadStatus(std::uint64_t done, bool force = false);
    void ShowReconnecting(int attempt, int attempts);

    // A pause between download tries that keeps the window alive.
    void PauseAlive(unsigned ms);

    // After a step or a cancel: when the focus is lost (the disabled Next
    // had it) or lies on a button that is hidden or covered, it goes to the
    // button on top of Next's spot, so the keyboard can carry on.
    void FocusButtonOnTop();

    // The step state: a step runs (Next must not start another), Cancel
    // was confirmed or the wizard closed during it, a Cancel question is up,
    // messages are being handled from inside the step.
    bool FStepRunning = false;
    bool FCancelRequested = false;
    bool FAskingCancel = false;
    bool FKeepingAlive = false;
    std::uint64_t FLastKeepAliveTick = 0;
    // The extraction stands between two entries: a cancel stops it here, so
    // no file is left half written.
    bool FZipBetweenEntries = true;

    std::unique_ptr<TSetupLog> FLog;
    // The run's end is logged once: Finish, the close button, or the end of the program.
    bool FEndLogged = false;
    void LogRunEnd(const char* how);

    std::optional<TManifest> FComponentList;
    // The file being fetched: its name, the bytes it had when this request
    // began, its whole size (0: unknown), and when this request began.
    AnsiString FFetchName;
    std::uint64_t FFetchBase = 0, FFetchTotal = 0, FFetchStartTick = 0, FLastStatusTick = 0;
};

extern TfrmMain* frmMain;

// What form translation must never touch: names, fonts, the page list, the
// request settings, the archive component's language and the variant codes.
// Once, at start-up, before the form exists.
void RegisterTranslationIgnores();
