#pragma once
// The installation itself, without a window: the program step (engine
// library and program archives into the install folder) and the data step
// (data set, database creation, configuration and shortcut), built from three
// routines: fetch a file from the download server, unpack an archive in
// place, run the installed program and wait for it. Every download is checked
// against the signed component list when a key is built in.
//
// The steps run on any one thread; RequestCancel and Hold may be called from
// another while they run. The program step fetches upgrade.zip on a thread
// of its own while it unpacks main.zip (TFetchAlongside); the sink still
// hears everything on the steps' thread.
#include "setup/install/uInstallChecks.h"
#include "setup/install/uInstallSink.h"
#include "setup/install/uInstallRecord.h"
#include "setup/install/uProxyRoute.h"

#include "http/uNetHTTP.h"
#include "platform/uFilesInUse.h"
#include "platform/uSync.h"
#include "runtime/ShellLink.h"
#include "trust/uManifest.h"
#include "trust/uVerifyingStream.h"
#include "zip/uZipArchive.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

class TFetchAlongside;

class TInstallSteps {
public:
    // The components belong to `owner` (the wizard's form), or to the steps
    // when it is null. `baseUrl` ends in "/"; an empty key checks nothing.
    TInstallSteps(TComponent* owner, const AnsiString& baseUrl, std::span<const std::uint8_t> manifestKey);
    ~TInstallSteps();
    TInstallSteps(const TInstallSteps&) = delete;
    TInstallSteps& operator=(const TInstallSteps&) = delete;

    TNetHTTP* NetHTTP;
    TZipArchive* ZipArchive;
    TShellLink* ShellLink;
    // The oldest component-list edition accepted; a list is also refused
    // below the highest edition this user accepted before.
    std::uint64_t MinimumListSerial = 0;

    // Leaving the proxy page: the program files into the install folder.
    TStepResult InstallProgram(const TInstallChoices& choices, TInstallSink& sink);
    // Leaving the data page: the data set, the configuration and the shortcut.
    TStepResult InstallData(const TInstallChoices& choices, TInstallSink& sink);

    // "X:\KORVANT07\" and its default data folder "X:\KORVANT07\DATA07".
    static AnsiString InstallFolder(char drive);
    static AnsiString DefaultDataFolder(char drive);

    // Downloads base URL + remote name into the local file; raises on
    // failure. With a key built in, the file must match its line of the
    // signed component list (size and SHA-256, hashed as the bytes arrive),
    // or it is deleted and the step fails naming it.
    void FetchFile(const AnsiString& remoteName, const AnsiString& localPath);
    // Fetches "manifest.txt" and "manifest.sig" once and checks the
    // signature; raises naming the list when it is missing or not genuine.
    void LoadComponentList();
    // Whether an unpack may replace files that exist: the program's files
    // yes, once nobody holds them; a data set's files never.
    enum class TUnpack { ReplaceFiles, KeepFiles };
    // Extracts the archive beside itself, then deletes it; raises (and keeps
    // the archive) when extraction failed. First checks the room it needs
    // and, when it replaces files, that no program holds any of them (asking
    // Retry/Cancel until none does). A file that still cannot be replaced
    // ends it there, naming the file.
    void UnpackArchive(const AnsiString& archivePath, TUnpack mode = TUnpack::ReplaceFiles);
    // Runs program + arguments (which start with a blank), hidden or as
    // `showWindow` says, and waits for it without a time limit: the exit
    // code, or -1 when it cannot be started.
    static int RunAndWait(const AnsiString& program, const AnsiString& arguments, std::uint16_t showWindow);

    // The program copied into the install folder as its uninstaller when an
    // installation is registered: the running program by default.
    AnsiString UninstallerSource;

    // Called by the program step once the component list is in, before any
    // component is fetched; what it raises fails the step with its message.
    std::function<void()> BeforeProgramFiles;
    // The size the signed component list gives a file; empty when no list
    // is loaded or it does not name the file.
    std::optional<std::uint64_t> ListedSize(const AnsiString& name) const;

    // Where Windows is asked how to reach the download server when no proxy
    // is typed; tests put their own before the first question.
    platform::TSystemProxyLookup SystemProxyLookup = platform::WinHttpProxyLookup();
    // The longest a step waits for that answer before it goes DIRECT.
    unsigned SystemProxyWaitMs = 30000;
    // Asks Windows now, on a thread of its own, so the answer is in before
    // a step needs it; `ready` as TSystemProxyQuery::Start says.
    void StartSystemProxyLookup(std::function<void()> ready = nullptr);
    // Windows' answer for the download server, once it is in.
    std::optional<TProxyRoute> SystemProxyAnswer() const;

    // Where free space and programs holding files are asked; tests put their own.
    TFreeSpaceQuery FreeSpace;
    platform::TRestartManagerLookup RestartManager = platform::SystemRestartManager();

    // Where the routines report when called outside a step.
    void SetSink(TInstallSink* sink);

    // Cancellation, from any thread: the running step stops at its next
    // check (between two pieces of a download, between two archive entries,
    // after a program run) and ends as cancelled.
    void RequestCancel();
    bool CancelRequested() const { return FCancelRequested; }
    // Forgets an earlier cancel: before a new step.
    void ClearCancel() { FCancelRequested = false; }
    // While held (a question to the user is open), the step stands still at
    // its next check.
    void Hold(bool held);
    // Waits while held, then raises EStepCancelled once cancelled.
    void CheckCancelled();

private:
    friend class TFetchAlongside;
    // The sink of the calling thread: the step's own, or on the thread of a
    // download that runs beside an unpack, the one that keeps its calls for
    // the step's thread.
    TInstallSink& Sink() const;
    // The unpack of `archivePath` with `alongside` downloading beside it:
    // started once the room for both is checked, stopped when the unpack
    // fails, and its failure stops the unpack between two entries.
    void UnpackArchive(const AnsiString& archivePath, TUnpack mode, TFetchAlongside* alongside);
    void WaitWhileHeld();
    // Reports a failure to the sink; false (nothing reported) when the step
    // was cancelled meanwhile.
    bool ReportFailure(const Exception& error, TInstallSink& sink);
    void ApplySettings();
    void ApplyProxy(const TInstallChoices& choices);
    // Points the client at the route's current way (a proxy, or none).
    void UseRouteHop();
    bool NextRouteHop() const { return FRoute && FRouteHop + 1 < FRoute->Hops.size(); }
    // The proxy's question for a logon (OnProxyAuthorization): remembered
    // credentials, or the sink's answer; false for none.
    bool AnswerProxyLogon(TNetAuthentication& logon);
    // The data set and the upgrade files; reports a failure to the sink.
    // True when all went well, false when only the upgrade files failed;
    // raises when no data set was made.
    bool InstallDataSet(const AnsiString& installFolder, const AnsiString& dataFolder, const AnsiString& variant,
                        TInstallSink& sink);
    static AnsiString Translated(const char16_t* text);
    // The files and folders the archive just unpacked into the install
    // folder, added to its list of installed files.
    void RecordUnpacked(const AnsiString& installFolder);
    // The list of installed files, the uninstaller and the uninstall entry;
    // reports a failure to the sink.
    bool RegisterInstallation(const TInstallChoices& choices, TInstallSink& sink);
    Exception HttpError() const;
    // Download that survives a drop: more tries after a pause, each asking
    // only for the rest when the server can give it.
    void DownloadWithRetries(const AnsiString& remoteName, TVerifyingStream& destination);
    std::vector<std::uint8_t> FetchSmall(const char* name, std::uint64_t limit);
    void PauseChecked(unsigned ms);
    // RunAndWait, and a note of the command line and its exit code.
    int RunProgram(const AnsiString& program, const AnsiString& arguments, std::uint16_t showWindow);
    // Raises the free-space message when `bytes` and the margin do not fit.
    void RequireFreeSpace(const AnsiString& folder, std::uint64_t bytes);
    // The listed sizes of those remote files (0 for one not listed).
    std::uint64_t ListedBytes(std::initializer_list<AnsiString> names) const;
    // "proxy host:port", "system proxy ..." or "no proxy", for the log.
    AnsiString ProxyText(const TInstallChoices& choices) const;
    // How this request goes: "direct" or "via proxy host:port".
    AnsiString RequestRouteText() const;
    static std::uint64_t NewFileBytes(const std::vector<TArchiveFile>& files, const TUnpackPlan& plan);
    // Asks Retry/Cancel while any of the files is held; Cancel ends the step.
    void WaitUntilNotInUse(const std::vector<AnsiString>& files);

    // Progress of the components, to the sink.
    void NetHTTPWorkBegin(TObject* sender, TWorkMode workMode, std::int32_t workCountMax);
    void NetHTTPWork(TObject* sender, TWorkMode workMode, std::int32_t workCount);
    void NetHTTPWorkEnd(TObject* sender, TWorkMode workMode);
    void ZipArchiveTotalProgress(TObject* sender, std::int64_t totalSize, int percent);
    void ShowDownloadStatus(std::uint64_t done, bool force = false);

    // Set on a download's own thread only (see Sink()).
    static thread_local TFetchAlongside* FThreadSink;
    // The download running beside the unpack, if any (step's thread only).
    TFetchAlongside* FAlongside = nullptr;

    std::unique_ptr<TComponent> FOwnComponents;
    AnsiString FBaseUrl;
    std::vector<std::uint8_t> FManifestKey;
    TInstallSink* FSink;
    // A proxy logon the user asked to be remembered, for this run only, and
    // the proxy it is for.
    TProxyCredentials FProxyLogon;
    AnsiString FProxyLogonFor;

    std::atomic<bool> FCancelRequested{false};
    platform::TLock FHoldLock;
    platform::TSignal FHoldChanged;
    bool FHeld = false;
    // The extraction stands between two entries: a cancel stops it here, so
    // no file is left half written.
    bool FZipBetweenEntries = true;
    // A file that exists could not be replaced: the extraction stops.
    bool FStopUnpacking = false;

    std::unique_ptr<TSystemProxyQuery> FSystemProxy;
    // The system's route once a step without a typed proxy needed it, and
    // the way of it in use: one that cannot be reached gives way to the next
    // for the rest of the run.
    std::optional<TProxyRoute> FRoute;
    std::size_t FRouteHop = 0;
    // A proxy was typed: it stays for the run, as the client keeps it.
    bool FProxyTyped = false;
    // The request being tried got a connection (to the server or the proxy).
    bool FConnected = false;

    std::optional<TManifest> FComponentList;
    // What this run and earlier ones installed into the install folder.
    TInstallRecord FRecord;
    // The file being fetched: its name, the bytes it had when this request
    // began, its whole size (0: unknown), and when this request began.
    AnsiString FFetchName;
    std::uint64_t FFetchBase = 0, FFetchTotal = 0, FFetchStartTick = 0, FLastStatusTick = 0;
};
