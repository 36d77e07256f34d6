// The wizard as a view over the installation steps: the steps run on a
// worker thread while the window answers; their progress lands on the bar
// and the line below it, their failures on the "Abort" page.
#include "ufrmMain.h"

#include "platform/uThreadCalls.h"
#include "runtime/uSysUtils.h"
#include "setup/uStepView.h"
#include "translation/uTranslator.h"

#include "manifest_key.h"

#ifndef KORVANT_DOWNLOAD_URL
#error "KORVANT_DOWNLOAD_URL must name the download server's base URL"
#endif

namespace {
constexpr int DataPage = 5;
} // namespace

void TfrmMain::CreateInstallComponents()
{
    FSteps = std::make_unique<TInstallSteps>(this, KORVANT_DOWNLOAD_URL, ManifestPublicKey);
    FSteps->MinimumListSerial = ManifestMinimumSerial;
    NetHTTP = FSteps->NetHTTP;
    ZipArchive = FSteps->ZipArchive;
    ShellLink = FSteps->ShellLink;
    // Windows is asked while the user reads the first pages: the answer
    // lands on the proxy page's line, and the step finds it ready.
    FCalls = std::make_unique<platform::TThreadCalls>();
    FSteps->StartSystemProxyLookup([calls = FCalls.get(), this] { calls->Post([this] { ShowSystemProxy(); }); });
}

// --- progress ----------------------------------------------------------------

void TfrmMain::NetHTTPWorkBegin(TObject*, TWorkMode, std::int32_t workCountMax)
{
    if (workCountMax > 0)
        ProgressBar->SetMax(workCountMax);
}

void TfrmMain::NetHTTPWork(TObject*, TWorkMode, std::int32_t workCount) { ProgressBar->SetPosition(workCount); }

void TfrmMain::NetHTTPWorkEnd(TObject*, TWorkMode) { ProgressBar->SetPosition(0); }

void TfrmMain::ZipArchiveTotalProgress(TObject*, std::int64_t, int percent) { ProgressBar->SetPosition(percent); }

void TfrmMain::ShowDownloadStatus(const AnsiString& text)
{
    lbDOWNLOAD->SetCaption(text);
    lbDOWNLOAD->Repaint();
}

// --- the two steps -------------------------------------------------------------

AnsiString TfrmMain::InstallFolder() const { return TInstallSteps::InstallFolder(InstallDrive->Drive()); }

TInstallChoices TfrmMain::Choices() const
{
    TInstallChoices choices;
    choices.Drive = InstallDrive->Drive();
    choices.UseProxy = PROXY_USE->Checked();
    choices.ProxyServer = PROXY_SERVER->Text();
    choices.ProxyPort = PROXY_POORT->AsInteger();
    choices.DataFolder = GegevensLocatie->Text();
    choices.InstallDataSet = rbSERVER->Checked();
    choices.VariantIndex = GegevensType->ItemIndex();
    choices.VariantCode = GegevensType->Value();
    choices.Dutch = rbNEDERLANDS->Checked();
    return choices;
}

TStepResult TfrmMain::RunStep(const std::function<TStepResult(TInstallSink&)>& step)
{
    TStepView view(*this);
    TStepResult result = TStepResult::Failed;
    try {
        platform::RunOnWorkerThread([&] { result = step(view); }, [] { Application->ProcessMessages(); },
                                    [&view] { view.Show(); }, TStepView::ShowIntervalMs);
    } catch (...) {
        view.Show();
        throw;
    }
    view.Show();
    return result;
}

void TfrmMain::InstallProgram()
{
    TBusyState busy(*this);
    GegevensLocatie->SetText(TInstallSteps::DefaultDataFolder(InstallDrive->Drive()));
    const TInstallChoices choices = Choices();
    const TStepResult result = RunStep([&](TInstallSink& sink) { return FSteps->InstallProgram(choices, sink); });
    if (result == TStepResult::Done)
        GegevensType->SetItemIndex(0);
    else if (result == TStepResult::Cancelled)
        StepCancelled();
}

bool TfrmMain::InstallData()
{
    TBusyState busy(*this);
    const TInstallChoices choices = Choices();
    const TStepResult result = RunStep([&](TInstallSink& sink) { return FSteps->InstallData(choices, sink); });
    switch (result) {
    case TStepResult::Cancelled:
        StepCancelled();
        return false;
    case TStepResult::NoDataSet:
        // Back to where the folder can be corrected.
        Notebook1->SetPageIndex(DataPage);
        GegevensLocatie->SetFocus();
        return false;
    default:
        return true;
    }
}
