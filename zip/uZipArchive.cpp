#include "uZipArchive.h"

#include "platform/uDrives.h"
#include "platform/uMessages.h"
#include "runtime/uSysUtils.h"

using namespace zipmsg;

TCustomZipArchive::TCustomZipArchive(TComponent* owner)
    : TComponent(owner), FWorker(std::make_unique<TZipWorker>(this))
{
    FWorker->SetActive(true);
}

TCustomZipArchive::~TCustomZipArchive() = default;

int TCustomZipArchive::StartOperation()
{
    if (FLoading)
        return -256;
    if (!Active() || FBusy) {
        if (FBusy) {
            FReentry = true;
            FWorker->SetReentry(true);
            if (FVerbose && Events.OnMessage)
                Events.OnMessage(this, 0, "Re-entry");
        }
        return -255;
    }
    TZipWorker& w = *FWorker;
    try {
        w.SetErrorId(0);
        TWorkerSettings& s = w.Settings;
        s.CodePage = FCodePage;
        s.ExtrBaseDir = FExtrBaseDir;
        s.ExtrOptions = FExtrOptions;
        w.Unattended = FUnattended;
        w.Verbose = FVerbose;
        w.Trace = FTrace;
        w.Events = Events;
        s.FSpecArgs.clear();
        for (int i = 0; i < FFSpecArgs.Count(); ++i)
            s.FSpecArgs.push_back(FFSpecArgs[i]);
        s.FSpecArgsExcl.clear();
        for (int i = 0; i < FFSpecArgsExcl.Count(); ++i)
            s.FSpecArgsExcl.push_back(FFSpecArgsExcl[i]);
        w.AppWindow = platform::ActiveWindow();
        s.Password = FPassword;
        s.PasswordReqCount = FPasswordReqCount;
        s.UseDirOnlyEntries = FUseDirOnlyEntries;
        s.RootDir = FRootDir;
        w.SetEngineDir(FDLLDirectory);
        if (!FTempDir.empty()) {
            AnsiString full = platform::FullPathName(FTempDir);
            AnsiString root = full.rfind("\\\\", 0) == 0 ? full : full.substr(0, 3);
            if (!platform::IsHardDrive(root) || platform::UniversalName(full) != full)
                throw EZipArchive::Fmt(DS_NoWrite, FTempDir.c_str());
        }
        s.TempDir = FTempDir;
        w.SetActive(true);
        w.SetBusy(true);
        w.SetReentry(false);
        w.OnMainThread = platform::IsMainThread();
        FReentry = false;
        FBusy = true;
        if (FDllLoad)
            w.Hold(TZipEngineBinding::hbKeep);
        else
            w.Release(TZipEngineBinding::hbKeep);
    } catch (const EZipArchive& e) {
        w.RecordException(e);
        return e.ResId();
    } catch (...) {
        return -9;
    }
    return 0;
}

void TCustomZipArchive::FinishOperation()
{
    TZipWorker& w = *FWorker;
    w.SetBusy(false);
    FBusy = false;
    if (w.Reentry())
        FReentry = true;
    FFSpecArgs.Clear();
    for (const AnsiString& pattern : w.Settings.FSpecArgs)
        FFSpecArgs.Add(pattern);
    FFSpecArgsExcl.Clear();
    for (const AnsiString& pattern : w.Settings.FSpecArgsExcl)
        FFSpecArgsExcl.Add(pattern);
    if (FActive == -1) {
        FActive = 0;
        w.SetActive(false);
    }
}

int TCustomZipArchive::Extract()
{
    int r = StartOperation();
    if (r != 0)
        return r;
    FWorker->Extract();
    FinishOperation();
    return FWorker->ErrorId();
}

void TCustomZipArchive::SetZipFileName(const AnsiString& name)
{
    if (FLoading) {
        FWorker->SetActive(false);
        FWorker->SetZipFileName(name);
        FWorker->List(); // only marks the listing as deferred
        return;
    }
    if (!Active()) {
        FWorker->SetZipFileName(name);
        FWorker->List();
        return;
    }
    if (StartOperation() != 0)
        return;
    FWorker->SetZipFileName(name);
    FWorker->List();
    FinishOperation();
}

void TCustomZipArchive::SetActive(bool active)
{
    if (active) {
        if (Active())
            return;
        FActive = FLoading ? 2 : 1;
        if (!FLoading && StartOperation() == 0)
            FinishOperation();
    } else if (Active()) {
        if (FBusy) {
            FActive = -1;
        } else {
            FActive = 0;
            FWorker->SetActive(false);
        }
    }
}

void TCustomZipArchive::SetDll_Load(bool load)
{
    FDllLoad = load;
    if (FLoading)
        return;
    try {
        if (FBusy) {
            if (load)
                FWorker->Hold(TZipEngineBinding::hbKeep);
            else
                FWorker->Release(TZipEngineBinding::hbKeep);
        } else if (StartOperation() == 0) {
            FinishOperation();
        }
    } catch (const EZipArchive& e) {
        FWorker->RecordException(e);
    }
}

void TCustomZipArchive::Loaded()
{
    FLoading = false;
    SetZipMsgLanguage(FLanguage);
    if (Active()) {
        if (StartOperation() == 0)
            FinishOperation();
        else
            FWorker->SetActive(false);
    }
}

AnsiString TCustomZipArchive::Language() const { return FLoading ? FLanguage : GetZipMsgLanguage(0); }

void TCustomZipArchive::SetLanguage(const AnsiString& language)
{
    FLanguage = language;
    if (!FLoading)
        SetZipMsgLanguage(language);
}

AnsiString TCustomZipArchive::ErrMessage() const
{
    if (!Active())
        return LoadZipStr(GE_Inactive);
    AnsiString text;
    if (FWorker->ErrorId() != 0)
        text = FWorker->ErrText().empty() ? LoadZipStr(FWorker->ErrorId()) : FWorker->ErrText();
    if (FReentry)
        text = ZipFmtLoadStr(GE_Busy, text.c_str());
    return text;
}
