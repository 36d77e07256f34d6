#pragma once
// The small dialog in which the user gives a proxy its user name and
// password: in the wizard's font, laid out at whatever DPI it shows.
#include "setup/install/uInstallSink.h"

#include "ui/uForms.h"

class TLabel;
class TEdit;
class TCheckBox;
class TButton;

class TfrmProxyLogon : public TForm {
    RT_CLASS(TfrmProxyLogon, TForm)
public:
    // `proxy` is the proxy's host; `refused`: it turned down the last logon.
    TfrmProxyLogon(const AnsiString& proxy, bool refused);
    ~TfrmProxyLogon() override;

    // Shows the dialog; on OK the typed logon goes into `credentials` and
    // the fields are emptied. False on Cancel.
    bool Ask(TProxyCredentials& credentials);

    TLabel* lbPROMPT;
    TLabel* lbGEBRUIKER;
    TEdit* edGEBRUIKER;
    TLabel* lbWACHTWOORD;
    TEdit* edWACHTWOORD;
    TCheckBox* cbONTHOUDEN;
    TButton* btOK;
    TButton* btANNULEREN;

protected:
    void DpiChanged() override { Layout(); }

private:
    void Layout();
    void ClearFields();
};
