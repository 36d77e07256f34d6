#pragma once
// The archive component's worker: error state and progress dispatch
// (TZipCore), the engine library binding (TZipEngineBinding) and the
// directory listing and extraction with the engine's callbacks (TZipWorker).
#include "uZipContract.h"
#include "uZipMsg.h"
#include "uZipTypes.h"
#include "platform/uLibrary.h"
#include "runtime/uClasses.h"

#include <memory>

// The progress snapshot the worker keeps up to date.
class TProgDetails : public TProgressDetails {
public:
    void Clear() { *this = TProgDetails(); }
    void NewItem(const AnsiString& name, std::uint32_t size);
    void Advance(std::int64_t n);
    void AdvanceItem(std::int64_t n);
    void SetCount(int count);
    void SetTotal(std::int64_t total);
    void EndItem();
    void SetExtra(const AnsiString& name, std::uint32_t size);
    void SetOrder(ProgressType order) { FOrder = order; }
    void AddWritten(std::int64_t n) { FBytesWritten += n; }
};

// Error state, progress reports, message boxes.
class TZipCore {
public:
    explicit TZipCore(TObject* sender) : FSender(sender) {}
    virtual ~TZipCore() = default;
    TZipCore(const TZipCore&) = delete;
    TZipCore& operator=(const TZipCore&) = delete;

    // Settings copied in by the component at the start of each operation.
    bool Unattended = false;
    bool Verbose = false;
    bool Trace = false;
    void* AppWindow = nullptr;
    bool OnMainThread = true;
    TZipEvents Events;

    int ErrCode() const { return FErrCode; }
    int ErrorId() const { return FErrorId; }
    void SetErrorId(int id) { FErrorId = id; }
    const AnsiString& ErrText() const { return FErrText; }
    // The entry the last engine error concerns, as stored in the archive
    // (backslashes); empty when it concerns none.
    const AnsiString& ErrEntry() const { return FErrEntry; }
    bool Cancel() const { return FCancel; }
    void SetCancel(bool cancel) { FCancel = cancel; }
    TProgDetails& Details() { return FDetails; }

    void RecordException(const EZipArchive& e);
    // Only when attended or someone listens: the id's text plus `extra`.
    void RecordMessage(int id, const AnsiString& extra = {});
    // Informational message (code 0) to OnMessage.
    void Inform(const AnsiString& text);
    // An error the engine reported about `entry`: sets ErrCode.
    void RecordEngineError(int code, int errorId, const AnsiString& text, const AnsiString& entry);

    void ReportNewFile(const AnsiString& name, std::int64_t size);
    void ReportBytes(std::int64_t n);
    void ReportEndOfBatch();
    void ReportItemCount(std::int64_t n);
    void ReportTotalSize(std::int64_t n);
    void ReportExtraItem(int k, std::int64_t size);
    void ReportExtraBytes(std::int64_t n);
    // After every report: OnCheckTerminate, or process pending messages.
    void CheckTerminate();

    void BeginWait();
    void EndWait();

protected:
    void ShowError(const AnsiString& text);
    TObject* FSender;
    int FErrCode = 0;
    int FErrorId = -1;
    AnsiString FErrText;
    AnsiString FErrEntry;
    bool FCancel = false;
    TProgDetails FDetails;
    static constexpr std::uint64_t kMessageInterval = 15; // ms
    std::uint64_t FLastMessages = 0;
};

// Finds, loads, checks, calls and unloads ZipEng179.dll.
class TZipEngineBinding : public TZipCore {
public:
    enum : unsigned { hbCall = 1, hbOperation = 2, hbKeep = 4 };
    static constexpr const char* kEngineName = "ZipEng179.dll";

    using TZipCore::TZipCore;
    ~TZipEngineBinding() override;

    void SetEngineDir(const AnsiString& dir);
    const AnsiString& EngineDir() const { return FEngineDir; }
    bool Loaded() const { return static_cast<bool>(FModule); }
    unsigned HoldMask() const { return FHold; }
    int EngineVersion() const { return FVersion; }
    int EngineBuild() const { return FBuild; }
    const AnsiString& LibraryName() const { return FLibName; }
    // The file the next load will try.
    AnsiString LibraryPath() const;

    // Raise EZipArchive 10650 / 10651 when the library cannot be used.
    void Hold(unsigned bits);
    void Release(unsigned bits);
    // Runs the engine; the number of files extracted or EZipArchive.
    int Run(zipeng::TCommandBlock& block);
    // Sets Cancel and tells a running engine.
    void AbortRequest();

protected:
    void SetAbortHandle(std::int32_t handle) { FAbortHandle = handle; }
    void Unload();

private:
    platform::TModule FModule;
    zipeng::TUnzExec FUnzExec = nullptr;
    zipeng::TAbort FAbort = nullptr;
    int FVersion = 0, FBuild = 0;
    AnsiString FLibName = kEngineName;
    AnsiString FEngineDir;
    unsigned FHold = 0;
    std::int32_t FAbortHandle = 0;
};

// Settings of the extraction path, copied from the component.
struct TWorkerSettings {
    AnsiString ExtrBaseDir;
    TExtrOpts ExtrOptions = 0;
    AnsiString Password;
    unsigned PasswordReqCount = 1;
    TZipCodePage CodePage = TZipCodePage::cpAuto;
    bool UseDirOnlyEntries = false;
    AnsiString TempDir;
    AnsiString RootDir;
    std::vector<AnsiString> FSpecArgs, FSpecArgsExcl;
};

class TZipWorker : public TZipEngineBinding {
public:
    using TZipEngineBinding::TZipEngineBinding;
    ~TZipWorker() override;

    TWorkerSettings Settings;

    const AnsiString& ZipFileName() const { return FZipFileName; }
    void SetZipFileName(const AnsiString& name) { FZipFileName = name; }
    bool Active() const { return FActive; }
    // Becoming active runs a listing that was deferred while inactive.
    void SetActive(bool active);
    bool Busy() const { return FBusy; }
    void SetBusy(bool busy) { FBusy = busy; }
    bool Reentry() const { return FReentry; }
    void SetReentry(bool reentry) { FReentry = reentry; }

    int List();
    int Count() const { return FZipFileName.empty() ? 0 : static_cast<int>(FEntries.size()); }
    const ZipDirEntry& Entry(int index) const { return *FEntries.at(static_cast<std::size_t>(index)); }
    const AnsiString& ZipComment() const { return FZipComment; }
    bool StructureWarning() const { return FStructureWarning; }
    int DroppedEntries() const { return FDropped; }
    bool IsSpanned() const { return FSpanned; }

    int Extract();
    int SuccessCnt() const { return FSuccessCnt; }

    // The engine's callback, with the worker as caller value.
    static std::int32_t ZE_CALL Callback(void* caller, zipeng::TCallbackRec* rec) noexcept;

private:
    std::int32_t HandleCallback(zipeng::TCallbackRec& rec);
    void HandlePassword(zipeng::TCallbackRec& rec);
    void HandleSkipped(zipeng::TCallbackRec& rec, const AnsiString& name);
    AnsiString EntryNamedIn(const AnsiString& text);
    void HandleQuery(zipeng::TCallbackRec& rec, int action, const AnsiString& text);
    AnsiString CheckExtractDir();
    static bool ArchiveDriveReady(const AnsiString& full, bool& hardDisk);
    void ListArchive();
    bool ReadDirectory(TFileStream& file, const TEndRecord& end);

    AnsiString FZipFileName;
    std::vector<std::unique_ptr<ZipDirEntry>> FEntries;
    AnsiString FZipComment;
    bool FActive = false, FDeferredList = false, FBusy = false, FReentry = false;
    bool FExtracting = false, FDestroying = false;
    bool FSpanned = false, FStructureWarning = false;
    bool FEndFound = false; // the last listing found an end record
    int FDropped = 0;
    std::uint8_t FLastHost = 0, FLastVersion = 20; // the maker of the last listed entry
    int FSuccessCnt = 0;
    AnsiString FHandlerException; // the noted event-handler failure of a run
    std::unique_ptr<TMemoryStream> FMemory;
};
