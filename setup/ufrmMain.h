#pragma once
// The wizard: one fixed-size dialog with nine pages and a button bar. Next
// walks the pages, Cancel (after confirmation) and a failed step jump to the
// last page, "Abort", and Finish ends the program.
#include "setup/controls/uAdComboBox.h"
#include "ui/uComCtrls.h"
#include "ui/uDirectoryEdit.h"
#include "ui/uDriveCombo.h"
#include "ui/uExtCtrls.h"
#include "ui/uForms.h"
#include "ui/uStdCtrls.h"
#include "ui/uValidateEdit.h"

class TfrmMain : public TForm {
    RT_CLASS(TfrmMain, TForm)
public:
    explicit TfrmMain(TComponent* owner);

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
    };
    // The failure path of a step: "Abort" page, Finish on top, Cancel hidden,
    // the message in an error box.
    void StepFailed(const Exception& error);

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
};

extern TfrmMain* frmMain;
