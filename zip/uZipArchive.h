#pragma once
// TZipArchive: the non-visual component that lists a zip archive and has the
// unzip engine library extract it. It never raises to its caller; failures
// are read back from ErrCode, ErrorId and ErrMessage.
#include "uZipWorker.h"

class TCustomZipArchive : public TComponent {
    RT_CLASS(TCustomZipArchive, TComponent)
public:
    static constexpr const char* kVersion = "1.79.01.02";

    explicit TCustomZipArchive(TComponent* owner);
    ~TCustomZipArchive() override;

    // --- operations ---
    // Extracts the archive; the start error or ErrorId after the run.
    int Extract();
    // Stops a running extraction.
    void Abort() { FWorker->AbortRequest(); }
    // Loading from a form: properties are only stored until Loaded().
    void BeginLoading() { FLoading = true; }
    void Loaded();

    // --- state ---
    int ErrCode() const { return FWorker->ErrCode(); }
    int ErrorId() const { return FWorker->ErrorId(); }
    AnsiString ErrMessage() const;
    // The archive entry ErrCode concerns ("HELP\\LEESMIJ.TXT"); empty when none.
    AnsiString ErrEntry() const { return FWorker->ErrEntry(); }
    bool Busy() const { return FBusy; }
    bool Reentry() const { return FReentry; }
    int Count() const { return FWorker->Count(); }
    const ZipDirEntry& DirEntry(int index) const { return FWorker->Entry(index); }
    const AnsiString& ZipComment() const { return FWorker->ZipComment(); }
    int SuccessCnt() const { return FWorker->SuccessCnt(); }
    TZipWorker& Worker() { return *FWorker; }

    // --- properties ---
    bool Active() const { return FActive == 1 || FActive == 2 || FActive == 3; }
    void SetActive(bool active);
    AnsiString ZipFileName() const { return FWorker->ZipFileName(); }
    void SetZipFileName(const AnsiString& name);
    AnsiString ExtrBaseDir() const { return FExtrBaseDir; }
    void SetExtrBaseDir(const AnsiString& dir) { FExtrBaseDir = dir; }
    TExtrOpts ExtrOptions() const { return FExtrOptions; }
    void SetExtrOptions(TExtrOpts options) { FExtrOptions = options; }
    AnsiString DLLDirectory() const { return FDLLDirectory; }
    void SetDLLDirectory(const AnsiString& dir) { FDLLDirectory = dir; }
    bool Dll_Load() const { return FWorker->Loaded(); }
    void SetDll_Load(bool load);
    AnsiString Password() const { return FWorker->Settings.Password; }
    void SetPassword(const AnsiString& password) { FPassword = FWorker->Settings.Password = password; }
    unsigned PasswordReqCount() const { return FPasswordReqCount; }
    void SetPasswordReqCount(unsigned count) { FPasswordReqCount = count > 15 ? 15 : count; }
    bool Unattended() const { return FUnattended; }
    void SetUnattended(bool value) { FUnattended = value; }
    bool Verbose() const { return FVerbose; }
    void SetVerbose(bool value) { FVerbose = value; }
    bool Trace() const { return FTrace; }
    void SetTrace(bool value) { FTrace = value; }
    AnsiString Language() const;
    void SetLanguage(const AnsiString& language);
    TZipCodePage CodePage() const { return FCodePage; }
    void SetCodePage(TZipCodePage codePage) { FCodePage = codePage; }
    TStringList& FSpecArgs() { return FFSpecArgs; }
    TStringList& FSpecArgsExcl() { return FFSpecArgsExcl; }
    AnsiString TempDir() const { return FTempDir; }
    void SetTempDir(const AnsiString& dir) { FTempDir = dir; }
    bool UseDirOnlyEntries() const { return FUseDirOnlyEntries; }
    void SetUseDirOnlyEntries(bool value) { FUseDirOnlyEntries = value; }
    AnsiString RootDir() const { return FRootDir; }
    void SetRootDir(const AnsiString& dir) { FRootDir = dir; }
    AnsiString Version() const { return kVersion; }
    void SetVersion(const AnsiString&) {}
    AnsiString VersionInfo() const { return kVersion; }
    void SetVersionInfo(const AnsiString&) {}

    // Archive writing, spanning and self-extractors: stored, without effect.
    int AddCompLevel = 9;
    unsigned AddOptions = 0;
    unsigned AddStoreSuffixes = 0x7FFF & ~1u; // every suffix except assEXT
    AnsiString ExtAddStoreSuffixes;
    bool ConfirmErase = true;
    int HowToDelete = 0; // htdAllowUndo
    std::int64_t KeepFreeOnAllDisks = 0, KeepFreeOnDisk1 = 0, MaxVolumeSize = 0, MinFreeVolumeSize = 65536;
    unsigned SpanOptions = 0;
    std::int64_t AddFrom = 0;
    bool SFXSlave = false;

    TZipEvents Events;

protected:
    // 0 means go on; -256 while loading, -255 when inactive or busy.
    int StartOperation();
    void FinishOperation();

private:
    std::unique_ptr<TZipWorker> FWorker;
    int FActive = 1; // 0 inactive, 1 active, 2 activated while loading, -1 deactivate after the run
    bool FLoading = false;
    bool FBusy = false, FReentry = false;
    bool FDllLoad = false;
    AnsiString FExtrBaseDir, FDLLDirectory, FPassword, FLanguage, FTempDir, FRootDir;
    TExtrOpts FExtrOptions = 0;
    unsigned FPasswordReqCount = 1;
    bool FUnattended = false, FVerbose = false, FTrace = false, FUseDirOnlyEntries = false;
    TZipCodePage FCodePage = TZipCodePage::cpAuto;
    TStringList FFSpecArgs, FFSpecArgsExcl;
};

class TZipArchive : public TCustomZipArchive {
    RT_PUBLISHED(TZipArchive, TCustomZipArchive,
                 OtherProp("Active"), OtherProp("AddCompLevel"), OtherProp("AddOptions"),
                 OtherProp("AddStoreSuffixes"), OtherProp("CodePage"), OtherProp("ConfirmErase"),
                 StrProp<&TZipArchive::DLLDirectory, &TZipArchive::SetDLLDirectory>("DLLDirectory"),
                 OtherProp("Dll_Load"),
                 StrProp<&TZipArchive::ExtrBaseDir, &TZipArchive::SetExtrBaseDir>("ExtrBaseDir"),
                 OtherProp("ExtrOptions"), OtherProp("FSpecArgs"), OtherProp("FSpecArgsExcl"),
                 OtherProp("KeepFreeOnAllDisks"), OtherProp("KeepFreeOnDisk1"),
                 StrProp<&TZipArchive::Language, &TZipArchive::SetLanguage>("Language"),
                 OtherProp("MaxVolumeSize"), OtherProp("MinFreeVolumeSize"),
                 StrProp<&TZipArchive::Password, &TZipArchive::SetPassword>("Password"),
                 OtherProp("PasswordReqCount"), OtherProp("SpanOptions"),
                 StrProp<&TZipArchive::TempDir, &TZipArchive::SetTempDir>("TempDir"),
                 OtherProp("Trace"), OtherProp("Unattended"), OtherProp("UseDirOnlyEntries"), OtherProp("Verbose"),
                 StrProp<&TZipArchive::Version, &TZipArchive::SetVersion>("Version"),
                 StrProp<&TZipArchive::VersionInfo, &TZipArchive::SetVersionInfo>("VersionInfo"),
                 StrProp<&TZipArchive::ZipFileName, &TZipArchive::SetZipFileName>("ZipFileName"),
                 OtherProp("OnTotalProgress"), OtherProp("OnItemProgress"), OtherProp("OnProgress"),
                 OtherProp("OnProgressDetails"), OtherProp("OnMessage"), OtherProp("OnCheckTerminate"),
                 OtherProp("OnTick"), OtherProp("OnDirUpdate"), OtherProp("OnNewName"),
                 OtherProp("OnPasswordError"), OtherProp("OnExtractSkipped"))
public:
    using TCustomZipArchive::TCustomZipArchive;
};
