#include "uZipWorker.h"

#include "platform/uMessages.h"
#include "platform/uOwner.h"
#include "platform/uSystem.h"
#include "runtime/uSysUtils.h"

using namespace zipmsg;

// --- dialogs ---------------------------------------------------------------

TZipDialogs& ZipDialogs()
{
    static TZipDialogs dialogs{
        [](void* owner, const AnsiString& caption, const AnsiString& text) {
            platform::ShowMessageBox(owner, caption, text, platform::TBoxKind::Error);
        },
        [](void* owner, const AnsiString& caption, const AnsiString& prompt, AnsiString& password) {
            return platform::InputPassword(owner, caption, prompt, password, zipeng::kMaxPassword);
        }};
    return dialogs;
}

// --- progress snapshot -------------------------------------------------------

int TProgressDetails::TotalPerCent() const
{
    if (FTotalSize > 0 && FTotalPosition > 0)
        return static_cast<int>(100 * FTotalPosition / FTotalSize);
    return 0;
}

int TProgressDetails::ItemPerCent() const
{
    if (FItemSize == 0 || FItemPosition <= 0)
        return 0;
    // Keep the product inside 32 bits for big items.
    if (FItemSize < 214748)
        return static_cast<int>(static_cast<std::int64_t>(FItemPosition) * 100 / FItemSize);
    return static_cast<int>(FItemPosition / static_cast<std::int64_t>(FItemSize / 100));
}

void TProgDetails::NewItem(const AnsiString& name, std::uint32_t size)
{
    ++FItemNumber;
    FItemName = name;
    FItemSize = size;
    FItemPosition = 0;
    FOrder = ProgressType::NewFile;
}

void TProgDetails::Advance(std::int64_t n)
{
    FTotalPosition += n;
    FItemPosition = static_cast<std::int32_t>(FItemPosition + n);
    FOrder = ProgressType::ProgressUpdate;
}

void TProgDetails::AdvanceItem(std::int64_t n)
{
    // Extra bytes move the item only, not the batch total.
    FItemPosition = static_cast<std::int32_t>(FItemPosition + n);
    FOrder = ProgressType::ExtraUpdate;
}

void TProgDetails::SetCount(int count)
{
    Clear();
    FItemCount = count;
    FOrder = ProgressType::TotalFiles2Process;
}

void TProgDetails::SetTotal(std::int64_t total)
{
    FTotalSize = total;
    FTotalPosition = 0;
    FBytesWritten = 0;
    FItemName.clear();
    FItemSize = 0;
    FItemPosition = 0;
    FOrder = ProgressType::TotalSize2Process;
}

void TProgDetails::EndItem()
{
    FItemName.clear();
    FItemSize = 0;
    FOrder = ProgressType::EndOfBatch;
}

void TProgDetails::SetExtra(const AnsiString& name, std::uint32_t size)
{
    FItemName = name;
    FItemSize = size;
    FItemPosition = 0;
    FOrder = ProgressType::NewExtra;
}

// --- core --------------------------------------------------------------------

void TZipCore::ShowError(const AnsiString& text)
{
    if (!Unattended && ZipDialogs().ShowError)
        ZipDialogs().ShowError(AppWindow, "Error", text);
}

void TZipCore::RecordException(const EZipArchive& e)
{
    FErrorId = e.ResId();
    FErrText = e.Message();
    if (e.DisplayMsg())
        ShowError(FErrText);
    if (Events.OnMessage)
        Events.OnMessage(FSender, FErrorId, FErrText);
}

void TZipCore::RecordMessage(int id, const AnsiString& extra)
{
    if (Unattended && !Events.OnMessage)
        return;
    FErrText = LoadZipStr(id) + extra;
    FErrorId = id;
    ShowError(FErrText);
    if (Events.OnMessage)
        Events.OnMessage(FSender, id, FErrText);
}

void TZipCore::Inform(const AnsiString& text)
{
    if (Events.OnMessage)
        Events.OnMessage(FSender, 0, text);
}

void TZipCore::RecordEngineError(int code, int errorId, const AnsiString& text, const AnsiString& entry)
{
    FErrCode = code;
    FErrorId = errorId;
    FErrText = text;
    FErrEntry = entry;
}

void TZipCore::ReportNewFile(const AnsiString& name, std::int64_t size)
{
    if (Events.OnProgress)
        Events.OnProgress(FSender, ProgressType::NewFile, name, size);
    FDetails.NewItem(name, static_cast<std::uint32_t>(size));
    if (Events.OnProgressDetails)
        Events.OnProgressDetails(FSender, FDetails);
    if (Events.OnItemProgress)
        Events.OnItemProgress(FSender, name, static_cast<std::uint32_t>(size), 0);
}

void TZipCore::ReportBytes(std::int64_t n)
{
    if (Events.OnProgress)
        Events.OnProgress(FSender, ProgressType::ProgressUpdate, {}, n);
    FDetails.Advance(n);
    if (Events.OnProgressDetails)
        Events.OnProgressDetails(FSender, FDetails);
    if (Events.OnItemProgress)
        Events.OnItemProgress(FSender, FDetails.ItemName(), FDetails.ItemSize(), FDetails.ItemPerCent());
    if (Events.OnTotalProgress)
        Events.OnTotalProgress(FSender, FDetails.TotalSize(), FDetails.TotalPerCent());
}

void TZipCore::ReportEndOfBatch()
{
    if (Events.OnProgress)
        Events.OnProgress(FSender, ProgressType::EndOfBatch, {}, 0);
    FDetails.EndItem();
    if (Events.OnProgressDetails)
        Events.OnProgressDetails(FSender, FDetails);
    if (Events.OnItemProgress)
        Events.OnItemProgress(FSender, {}, 0, 101);
    if (Events.OnTotalProgress)
        Events.OnTotalProgress(FSender, 0, 101);
}

void TZipCore::ReportItemCount(std::int64_t n)
{
    FDetails.SetCount(static_cast<int>(n));
    if (Events.OnProgressDetails)
        Events.OnProgressDetails(FSender, FDetails);
    if (Events.OnProgress)
        Events.OnProgress(FSender, ProgressType::TotalFiles2Process, {}, n);
}

void TZipCore::ReportTotalSize(std::int64_t n)
{
    FDetails.SetTotal(n);
    if (Events.OnProgressDetails)
        Events.OnProgressDetails(FSender, FDetails);
    if (Events.OnProgress)
        Events.OnProgress(FSender, ProgressType::TotalSize2Process, {}, n);
}

void TZipCore::ReportExtraItem(int k, std::int64_t size)
{
    AnsiString text = LoadZipStr(PR_Progress + k);
    if (Events.OnProgress)
        Events.OnProgress(FSender, ProgressType::NewExtra, text, size);
    FDetails.SetExtra(text, static_cast<std::uint32_t>(size));
    if (Events.OnProgressDetails)
        Events.OnProgressDetails(FSender, FDetails);
    if (Events.OnItemProgress)
        Events.OnItemProgress(FSender, FDetails.ItemName(), FDetails.ItemSize(), 0);
}

void TZipCore::ReportExtraBytes(std::int64_t n)
{
    if (Events.OnProgress)
        Events.OnProgress(FSender, ProgressType::ExtraUpdate, FDetails.ItemName(), n);
    FDetails.AdvanceItem(n);
    if (Events.OnProgressDetails)
        Events.OnProgressDetails(FSender, FDetails);
    if (Events.OnItemProgress)
        Events.OnItemProgress(FSender, FDetails.ItemName(), FDetails.ItemSize(), FDetails.ItemPerCent());
}

void TZipCore::CheckTerminate()
{
    if (Events.OnCheckTerminate) {
        bool abort = FCancel;
        Events.OnCheckTerminate(FSender, abort);
        if (abort)
            FCancel = true;
    } else if (OnMainThread) {
        // Every few milliseconds is enough for a responsive window; doing it
        // after each of thousands of small files costs more than the files.
        std::uint64_t now = platform::TickCount();
        if (now - FLastMessages >= kMessageInterval) {
            FLastMessages = now;
            platform::ProcessMessages();
        }
    }
}

void TZipCore::BeginWait()
{
    if (OnMainThread)
        platform::BeginWaitCursor();
}

void TZipCore::EndWait()
{
    if (OnMainThread)
        platform::EndWaitCursor();
}

// --- engine binding -------------------------------------------------------------

TZipEngineBinding::~TZipEngineBinding() { Unload(); }

void TZipEngineBinding::SetEngineDir(const AnsiString& dir)
{
    FEngineDir = dir;
    if (!FEngineDir.empty() && FEngineDir.back() == '\\')
        FEngineDir.pop_back();
}

namespace {

// "C:\..." or "\\server\share\...": nothing left for the system to resolve.
bool IsAbsolutePath(const AnsiString& path)
{
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
        char drive = static_cast<char>(path[0] & ~0x20);
        return drive >= 'A' && drive <= 'Z';
    }
    return path.size() >= 3 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
}

} // namespace

AnsiString TZipEngineBinding::LibraryPath() const
{
    if (FEngineDir.empty())
        return kEngineName;
    AnsiString path = FEngineDir;
    // A drive's root arrives here as "C:" once its backslash was taken off;
    // "C:ZipEng179.dll" would be the drive's current folder instead.
    if ((path.back() != ':' || path.size() == 2) && path.back() != '\\')
        path += '\\';
    path += kEngineName;
    if (path[0] == '.')
        path = ExtractFilePath(platform::ModuleFileName()) + path;
    return path;
}

void TZipEngineBinding::Hold(unsigned bits)
{
    FHold |= bits;
    if (FModule)
        return;
    BeginWait();
    platform::TScopeGuard endWait([this] { EndWait(); });
    // Only the engine in the folder we were given: a bare name or a relative
    // folder would let the system's library search pick up a planted copy
    // from the current folder or PATH. Without the file there the load fails
    // under the engine's plain name, as it always has.
    AnsiString path = LibraryPath();
    unsigned error = 0;
    if (!IsAbsolutePath(path)) {
        error = 87; // ERROR_INVALID_PARAMETER
    } else if (!FileExists(path)) {
        path = kEngineName;
        error = 126; // ERROR_MOD_NOT_FOUND
    } else {
        FModule = platform::LoadLibraryQuiet(path, error);
    }
    if (!FModule) {
        if (Verbose || Trace)
            Inform(Format("Error [%u %s] loading %s", error, Trim(SysErrorMessage(error)).c_str(), path.c_str()));
        FHold = 0;
        throw EZipArchive::Fmt(LD_NoDll, path.c_str());
    }
    // Each entry point only if the one before it was found.
    void* unz = FModule.Proc("ZE_UnzExec");
    void* zip = unz ? FModule.Proc("ZE_ZipExec") : nullptr;
    void* ver = zip ? FModule.Proc("ZE_Version") : nullptr;
    void* priv = ver ? FModule.Proc("ZE_PrivVersion") : nullptr;
    void* abort = priv ? FModule.Proc("ZE_Abort") : nullptr;
    void* name = abort ? FModule.Proc("ZE_Path") : nullptr;
    if (name) {
        FUnzExec = reinterpret_cast<zipeng::TUnzExec>(unz);
        FAbort = reinterpret_cast<zipeng::TAbort>(abort);
        FBuild = reinterpret_cast<zipeng::TPrivVersion>(priv)();
        FVersion = reinterpret_cast<zipeng::TVersion>(ver)();
        const char* libName = reinterpret_cast<zipeng::TPath>(name)();
        FLibName = libName ? libName : kEngineName;
    }
    if (FVersion < zipeng::kMinVersion || FVersion > zipeng::kMaxVersion) {
        AnsiString libName = FLibName;
        Unload();
        FHold = 0;
        throw EZipArchive::Fmt(LD_BadDll, libName.c_str());
    }
    if (Verbose)
        Inform(ZipFmtLoadStr(LD_DllLoaded, FLibName.c_str()));
}

void TZipEngineBinding::Release(unsigned bits)
{
    FHold &= ~bits;
    if (FHold == 0 && FModule) {
        if (Verbose)
            Inform(ZipFmtLoadStr(LD_DllUnloaded, FLibName.c_str()));
        Unload();
    }
}

void TZipEngineBinding::Unload()
{
    FModule.Reset();
    FUnzExec = nullptr;
    FAbort = nullptr;
    FVersion = FBuild = 0;
    FLibName = kEngineName;
}

int TZipEngineBinding::Run(zipeng::TCommandBlock& block)
{
    Hold(hbCall);
    int result;
    try {
        result = FUnzExec(&block);
    } catch (...) {
        result = -7;
    }
    FAbortHandle = 0;
    Release(hbCall);
    switch (result) {
    case zipeng::kResultCancelled: throw EZipArchive(DLL_Cancelled, true);
    case zipeng::kResultAborting: throw EZipArchive(DLL_Aborting, true);
    case zipeng::kResultHandlerException: throw EZipArchive(DLL_HandlerEx, true);
    case zipeng::kResultNoMemory: throw EZipArchive(DLL_NoMem, true);
    case zipeng::kResultBadStructure: throw EZipArchive(DLL_BadStructure, true);
    default:
        if (result < 0)
            throw EZipArchive::Fmt(DLL_Critical, result);
        return result;
    }
}

void TZipEngineBinding::AbortRequest()
{
    FCancel = true;
    if (FModule && FAbort)
        FAbort(FAbortHandle);
}
