// The two installation steps, the settings of the components they use, and
// the wiring of the components' progress to the sink.
#include "setup/install/uInstallSteps.h"
#include "setup/install/uFetchAlongside.h"

#include "http/uNetStack.h"
#include "platform/uCom.h"
#include "platform/uNetPlatform.h"
#include "platform/uOwner.h"
#include "platform/uSspi.h"
#include "runtime/uSysUtils.h"
#include "platform/uSystem.h"

#include <algorithm>
#include "setup/config/uConfigFiles.h"
#include "setup/config/uDesktopShortcut.h"
#include "translation/uTranslator.h"

namespace {

constexpr const char* ArchivePassword = "mirabel ";

// Reports nowhere and answers No: for routines called outside a step.
class TNullSink final : public TInstallSink {
public:
    void DownloadBegin(std::int32_t) override {}
    void DownloadProgress(std::int32_t) override {}
    void DownloadEnd() override {}
    void UnpackProgress(int) override {}
    void StatusLine(const AnsiString&) override {}
    bool AskYesNo(const AnsiString&) override { return false; }
    bool AskRetryCancel(const AnsiString&) override { return false; }
    void StepFailed(const AnsiString&) override {}
    void DataFolderRejected(const AnsiString&) override {}
};
TNullSink NullSink;

// A data step failed before its data set was made.
struct EDataSetMissing {};

// The sink of one step, and the step's cancel checks inside every socket
// wait of this thread; both end with the step.
class TStepScope {
public:
    TStepScope(TInstallSteps& steps, TInstallSink& sink)
        : FSteps(steps), FHook([&steps] { steps.CheckCancelled(); })
    {
        FSteps.SetSink(&sink);
    }
    ~TStepScope() { FSteps.SetSink(nullptr); }
    TStepScope(const TStepScope&) = delete;
    TStepScope& operator=(const TStepScope&) = delete;

private:
    TInstallSteps& FSteps;
    TNetWaitHookScope FHook;
};

} // namespace

TInstallSteps::TInstallSteps(TComponent* owner, const AnsiString& baseUrl, std::span<const std::uint8_t> manifestKey)
    : FBaseUrl(baseUrl), FManifestKey(manifestKey.begin(), manifestKey.end()), FSink(&NullSink)
{
    if (!owner) {
        FOwnComponents = std::make_unique<TComponent>(nullptr);
        owner = FOwnComponents.get();
    }
    NetHTTP = new TNetHTTP(owner);
    ZipArchive = new TZipArchive(owner);
    ShellLink = new TShellLink(owner);
    UninstallerSource = platform::ModuleFileName();
    ApplySettings();
}

TInstallSteps::~TInstallSteps() = default;

AnsiString TInstallSteps::Translated(const char16_t* text) { return WideToAnsi(TranslateText(text)); }

void TInstallSteps::SetSink(TInstallSink* sink) { FSink = sink ? sink : &NullSink; }

thread_local TFetchAlongside* TInstallSteps::FThreadSink = nullptr;

TInstallSink& TInstallSteps::Sink() const
{
    if (FThreadSink)
        return *FThreadSink;
    return *FSink;
}

void TInstallSteps::ApplySettings()
{
    NetHTTP->SetName("NetHTTP");
    NetHTTP->OnWorkBegin = [this](TObject* s, TWorkMode m, std::int32_t total) { NetHTTPWorkBegin(s, m, total); };
    NetHTTP->OnWork = [this](TObject* s, TWorkMode m, std::int32_t count) { NetHTTPWork(s, m, count); };
    NetHTTP->OnWorkEnd = [this](TObject* s, TWorkMode m) { NetHTTPWorkEnd(s, m); };
    // A failure before this says the way to the server could not be taken.
    NetHTTP->OnStatus = [this](TObject*, TNetStatus status, const AnsiString&) {
        if (status == TNetStatus::hsConnected)
            FConnected = true;
    };
    NetHTTP->AuthRetries = 0;
    NetHTTP->AuthProxyRetries = 0;
    NetHTTP->AllowCookies = true;
    NetHTTP->ProxyParams().BasicAuthentication = false;
    NetHTTP->ProxyParams().SetProxyPort(0);
    NetHTTP->OnProxyAuthorization = [this](TObject*, TNetAuthentication* logon, bool& handled) {
        handled = logon && AnswerProxyLogon(*logon);
    };
    TNetHTTPRequest& request = NetHTTP->Request();
    request.ContentLength = -1;
    request.ContentRangeStart = request.ContentRangeEnd = request.ContentRangeInstanceLength = 0;
    request.SetAccept("text/html, */*");
    request.BasicAuthentication = false;
    request.SetUserAgent("Mozilla/3.0 (compatible; Korvant Setup)");
    NetHTTP->HTTPOptions = hoEncodeParams;
    NetHTTP->ConnectTimeout = DownloadConnectTimeoutMs;
    NetHTTP->ReadTimeout = DownloadReadTimeoutMs;

    ZipArchive->SetName("ZipArchive");
    ZipArchive->BeginLoading();
    ZipArchive->SetPassword(ArchivePassword);
    ZipArchive->SetPasswordReqCount(1);
    ZipArchive->SetExtrOptions(ExtrDirNames | ExtrOverWrite);
    ZipArchive->SetUnattended(true);
    ZipArchive->SetDll_Load(false);
    ZipArchive->SetLanguage("NL");
    ZipArchive->SetVerbose(true);
    ZipArchive->SetTrace(false);
    ZipArchive->AddOptions = 0;
    ZipArchive->SpanOptions = 0;
    ZipArchive->KeepFreeOnDisk1 = ZipArchive->KeepFreeOnAllDisks = ZipArchive->MaxVolumeSize = 0;
    ZipArchive->SetVersion("1.79.01.02");
    ZipArchive->Events.OnTotalProgress = [this](TObject* s, std::int64_t total, int percent) {
        ZipArchiveTotalProgress(s, total, percent);
    };
    ZipArchive->Events.OnProgress = [this](TObject*, ProgressType type, const AnsiString&, std::int64_t) {
        FZipBetweenEntries = type == ProgressType::NewFile || type == ProgressType::EndOfBatch;
    };
    // After every engine callback: a cancel, once the engine stands at the
    // start of an entry; and a pause while the user is asked.
    // A download beside the extraction: its notes go to the log now. Its
    // failure does not stop the extraction: a program half replaced by the
    // new archive would be worse than one whole, and the step reports the
    // failure once the archive is unpacked, as it did when they ran in turn.
    ZipArchive->Events.OnCheckTerminate = [this](TObject*, bool& abort) {
        WaitWhileHeld();
        if (FAlongside)
            FAlongside->PassNotes();
        if ((FCancelRequested && FZipBetweenEntries) || FStopUnpacking)
            abort = true;
    };
    ZipArchive->Loaded();

    ShellLink->SetName("ShellLink");
}

// --- cancel ------------------------------------------------------------------

void TInstallSteps::RequestCancel()
{
    FCancelRequested = true;
    Hold(false);
}

void TInstallSteps::Hold(bool held)
{
    {
        std::lock_guard lock(FHoldLock);
        FHeld = held;
    }
    FHoldChanged.notify_all();
}

void TInstallSteps::WaitWhileHeld()
{
    std::unique_lock lock(FHoldLock);
    FHoldChanged.wait(lock, [this] { return !FHeld; });
}

void TInstallSteps::CheckCancelled()
{
    WaitWhileHeld();
    if (FCancelRequested)
        throw EStepCancelled();
    // On a download's own thread: the step has stopped it.
    if (FThreadSink && FThreadSink->Stopping())
        throw EFetchStopped();
}

bool TInstallSteps::ReportFailure(const Exception& error, TInstallSink& sink)
{
    // A failure that comes while the user is asked whether to cancel waits
    // for the answer; after a Yes the step ends as cancelled, without it.
    WaitWhileHeld();
    if (FCancelRequested)
        return false;
    sink.StepFailed(error.Message());
    return true;
}

// --- progress wiring -----------------------------------------------------------

void TInstallSteps::NetHTTPWorkBegin(TObject*, TWorkMode, std::int32_t workCountMax)
{
    Sink().DownloadBegin(workCountMax);
    if (workCountMax > 0 && FFetchTotal == 0)
        FFetchTotal = FFetchBase + std::uint64_t(workCountMax);
    FFetchStartTick = platform::TickCountMs();
    ShowDownloadStatus(FFetchBase, true);
}

void TInstallSteps::NetHTTPWork(TObject*, TWorkMode, std::int32_t workCount)
{
    Sink().DownloadProgress(workCount);
    ShowDownloadStatus(FFetchBase + std::uint64_t(workCount));
    // Throwing here breaks the transfer off; the client drops the connection.
    CheckCancelled();
}

void TInstallSteps::NetHTTPWorkEnd(TObject*, TWorkMode) { Sink().DownloadEnd(); }

void TInstallSteps::ZipArchiveTotalProgress(TObject*, std::int64_t, int percent) { Sink().UnpackProgress(percent); }

namespace {
// "35,2": one decimal, a decimal comma, as both languages write it.
AnsiString Decimal(double value)
{
    AnsiString text = Format("%.1f", value);
    for (char& c : text)
        if (c == '.')
            c = ',';
    return text;
}
} // namespace

void TInstallSteps::ShowDownloadStatus(std::uint64_t done, bool force)
{
    // A few times a second: more would only cost the download time.
    constexpr std::uint64_t kIntervalMs = 250;
    const std::uint64_t now = platform::TickCountMs();
    if (FFetchName.empty() || (!force && now - FLastStatusTick < kIntervalMs))
        return;
    FLastStatusTick = now;
    const double mb = 1000.0 * 1000.0;
    const std::uint64_t elapsed = now - FFetchStartTick;
    const std::uint64_t fetched = done - std::min(done, FFetchBase);
    const double speed = elapsed > 0 ? double(fetched) * 1000.0 / double(elapsed) : 0.0;
    AnsiString text;
    if (FFetchTotal > 0 && speed > 0) {
        const std::uint64_t left = FFetchTotal > done ? FFetchTotal - done : 0;
        text = Format(Translated(u"%s: %s MB van %s MB - %s MB/s - nog %d s").c_str(), FFetchName.c_str(),
                      Decimal(double(done) / mb).c_str(), Decimal(double(FFetchTotal) / mb).c_str(),
                      Decimal(speed / mb).c_str(), static_cast<int>((double(left) / speed) + 0.999));
    } else {
        text = Format(Translated(u"%s: %s MB").c_str(), FFetchName.c_str(), Decimal(double(done) / mb).c_str());
    }
    Sink().StatusLine(text);
}

// --- the two steps -------------------------------------------------------------

AnsiString TInstallSteps::ProxyText(const TInstallChoices& choices) const
{
    // Host and port only: no credential of any kind goes into a log.
    if (choices.UseProxy)
        return Format("proxy %s:%d", choices.ProxyServer.c_str(), choices.ProxyPort);
    if (FProxyTyped)
        return Format("proxy %s:%d", NetHTTP->ProxyParams().ProxyServer().c_str(), NetHTTP->ProxyParams().ProxyPort());
    if (!FRoute || FRoute->Direct())
        return "no proxy";
    return "system proxy " + FRoute->Text();
}

AnsiString TInstallSteps::RequestRouteText() const
{
    const AnsiString& server = NetHTTP->ProxyParams().ProxyServer();
    if (server.empty())
        return "direct";
    return "via proxy " + TProxyHop{server, NetHTTP->ProxyParams().ProxyPort()}.Text();
}

void TInstallSteps::StartSystemProxyLookup(std::function<void()> ready)
{
    if (!FSystemProxy)
        FSystemProxy = std::make_unique<TSystemProxyQuery>(SystemProxyLookup, FBaseUrl);
    FSystemProxy->Start(std::move(ready));
}

std::optional<TProxyRoute> TInstallSteps::SystemProxyAnswer() const
{
    return FSystemProxy ? FSystemProxy->Answer() : std::nullopt;
}

AnsiString TInstallSteps::InstallFolder(char drive) { return AnsiString(1, drive) + ":\\KORVANT07\\"; }

AnsiString TInstallSteps::DefaultDataFolder(char drive) { return InstallFolder(drive) + "DATA07"; }

void TInstallSteps::ApplyProxy(const TInstallChoices& choices)
{
    if (choices.UseProxy) {
        FProxyTyped = true;
        FRoute.reset();
        NetHTTP->ProxyParams().SetProxyServer(choices.ProxyServer);
        NetHTTP->ProxyParams().SetProxyPort(choices.ProxyPort);
        return;
    }
    if (FProxyTyped)
        return;
    if (!FRoute) {
        StartSystemProxyLookup();
        FRoute = FSystemProxy->Wait([this] { CheckCancelled(); }, SystemProxyWaitMs);
        FRouteHop = 0;
        Sink().Note("System proxy for " + FBaseUrl + ": " + FRoute->Text() + " (" + FRoute->Source +
                    (FRoute->Answer.empty() ? AnsiString() : ": " + FRoute->Answer) + "), " +
                    Format("asked in %llu ms", static_cast<unsigned long long>(FRoute->LookupMs)));
    }
    UseRouteHop();
}

void TInstallSteps::UseRouteHop()
{
    // DIRECT is no proxy at all: the client's settings as they are at first.
    const TProxyHop hop = FRoute && FRouteHop < FRoute->Hops.size() ? FRoute->Hops[FRouteHop] : TProxyHop{};
    NetHTTP->ProxyParams().SetProxyServer(hop.Host);
    NetHTTP->ProxyParams().SetProxyPort(hop.Direct() ? 0 : hop.Port);
}

bool TInstallSteps::AnswerProxyLogon(TNetAuthentication& logon)
{
    const AnsiString proxy = NetHTTP->ProxyParams().ProxyServer();
    // Refusals of this request so far: remembered credentials the proxy has
    // just turned down are forgotten, and the user is asked again.
    const bool refused = NetHTTP->AuthProxyRetries > 0;
    if (!FProxyLogon.User.empty() && !refused && SameText(FProxyLogonFor, proxy)) {
        logon.Username = FProxyLogon.User;
        logon.Password = FProxyLogon.Password;
        Sink().Note(Format("Proxy %s asks for a logon (%s): answered with the remembered one", proxy.c_str(),
                           logon.Scheme().c_str()));
        return true;
    }
    FProxyLogon.Wipe();
    FProxyLogonFor.clear();
    TProxyCredentials typed;
    const bool given = Sink().AskProxyCredentials(proxy, refused, typed) && !typed.User.empty();
    // Never the name or the password: only that the question was answered.
    Sink().Note(Format("Question: proxy %s asks for a logon (%s)%s. Answer: %s", proxy.c_str(), logon.Scheme().c_str(),
                       refused ? " after a refusal" : "", given ? (typed.Remember ? "given, remembered" : "given") : "none"));
    if (!given)
        return false;
    logon.Username = typed.User;
    logon.Password = typed.Password;
    if (typed.Remember) {
        std::swap(FProxyLogon.User, typed.User);
        std::swap(FProxyLogon.Password, typed.Password);
        FProxyLogon.Remember = true;
        FProxyLogonFor = proxy;
    }
    return true;
}

void TProxyCredentials::Wipe()
{
    platform::WipeText(User);
    platform::WipeText(Password);
    Remember = false;
}

TStepResult TInstallSteps::InstallProgram(const TInstallChoices& choices, TInstallSink& sink)
{
    TStepScope scope(*this, sink);
    try {
        ApplyProxy(choices);
    } catch (const EStepCancelled&) {
        sink.Note("Program step cancelled");
        return TStepResult::Cancelled;
    }
    const AnsiString installFolder = InstallFolder(choices.Drive);
    sink.Note(Format("Program step: drive %c, install folder %s, %s", choices.Drive, installFolder.c_str(),
                     ProxyText(choices).c_str()));
    // What earlier installations put here stays theirs to remove.
    FRecord = TInstallRecord();
    ReadInstallRecord(installFolder, FRecord);
    FRecord.Language = choices.Dutch ? "nl" : "fr";
    // A folder that cannot be made shows up as the first fetch's error.
    if (!DirectoryExists(installFolder)) {
        ForceDirectories(installFolder);
        FRecord.MadeInstallFolder = DirectoryExists(installFolder);
    }
    // Whatever this step leaves in the install folder, even when it fails
    // half-way, is on the list before it ends.
    platform::TScopeGuard recordOnExit([this, &installFolder] {
        try {
            if (!FRecord.Files.empty())
                WriteInstallRecord(installFolder, FRecord);
        } catch (const Exception&) {
            // The uninstall entry is written with it later and reports then.
        }
    });
    try {
        LoadComponentList();
        if (BeforeProgramFiles)
            BeforeProgramFiles();
        // A full disk is said before minutes of downloading: the listed
        // sizes (the archives' unpacked sizes are known once they are here).
        RequireFreeSpace(installFolder, ListedBytes({"ZipEng179.dll", "main.zip", "upgrade.zip"}));
        FetchFile("ZipEng179.dll", installFolder + "ZipEng179.dll");
        FRecord.AddFile("ZipEng179.dll");
        ZipArchive->SetDLLDirectory(installFolder);
        FetchFile("main.zip", installFolder + "main.zip");
        // upgrade.zip arrives while main.zip is unpacked; it is unpacked
        // after it, once verified. A failed unpack stops the download; a
        // failed download is reported once main.zip is whole.
        TFetchAlongside upgrade(*this, "upgrade.zip", installFolder + "upgrade.zip");
        try {
            UnpackArchive(installFolder + "main.zip", TUnpack::ReplaceFiles, &upgrade);
        } catch (...) {
            upgrade.Stop();
            RecordUnpacked(installFolder);
            throw;
        }
        RecordUnpacked(installFolder);
        upgrade.Finish();
        try {
            UnpackArchive(installFolder + "upgrade.zip");
        } catch (...) {
            RecordUnpacked(installFolder);
            throw;
        }
        RecordUnpacked(installFolder);
    } catch (const EStepCancelled&) {
        sink.Note("Program step cancelled");
        return TStepResult::Cancelled;
    } catch (const Exception& error) {
        sink.Note("Program step failed: " + error.Message());
        return ReportFailure(error, sink) ? TStepResult::Failed : TStepResult::Cancelled;
    }
    sink.Note("Program step done");
    return TStepResult::Done;
}

std::optional<std::uint64_t> TInstallSteps::ListedSize(const AnsiString& name) const
{
    const TManifestEntry* entry = FComponentList ? FComponentList->Find(name) : nullptr;
    if (!entry)
        return std::nullopt;
    return entry->Size;
}

void TInstallSteps::RecordUnpacked(const AnsiString& installFolder)
{
    // The listing of the archive just extracted; only what is there now
    // counts, so an extraction that stopped early records what it wrote.
    for (int i = 0; i < ZipArchive->Count(); ++i) {
        AnsiString name = ZipArchive->DirEntry(i).FileName;
        std::replace(name.begin(), name.end(), '/', '\\');
        if (name.empty())
            continue;
        if (name.back() == '\\') {
            if (DirectoryExists(installFolder + name))
                FRecord.AddFolder(name);
            continue;
        }
        if (FileExists(installFolder + name))
            FRecord.AddFile(name);
        // The folders on the way to it are the archive's too.
        for (auto slash = name.find('\\'); slash != AnsiString::npos; slash = name.find('\\', slash + 1))
            FRecord.AddFolder(name.substr(0, slash));
    }
}

bool TInstallSteps::RegisterInstallation(const TInstallChoices& choices, TInstallSink& sink)
{
    const AnsiString installFolder = InstallFolder(choices.Drive);
    // A data step without a program step before it (a test, or a run that
    // picks up): the list of an earlier program step.
    if (FRecord.Files.empty()) {
        ReadInstallRecord(installFolder, FRecord);
        FRecord.Language = choices.Dutch ? "nl" : "fr";
    }
    FRecord.AddDataFolder(IncludeTrailingBackslash(choices.DataFolder));
    FRecord.AddDataFolder(DefaultDataFolder(choices.Drive));
    try {
        ::RegisterInstallation(installFolder, FRecord, UninstallerSource);
    } catch (const Exception& error) {
        sink.StepFailed(error.Message());
        return false;
    }
    return true;
}

bool TInstallSteps::InstallDataSet(const AnsiString& installFolder, const AnsiString& dataFolder,
                                   const AnsiString& variant, TInstallSink& sink)
{
    constexpr std::uint16_t HiddenWindow = 0; // SW_HIDE
    bool made = false;
    try {
        for (const char* folder : {"", "GLOBAL", "MESSAGES", "LEVLIST"})
            if (!DirectoryExists(dataFolder + folder))
                ForceDirectories(dataFolder + folder);
        const AnsiString program = installFolder + "KORVANT07.EXE";
        const AnsiString archive = dataFolder + "GLOBAL\\global.zip";
        const AnsiString remoteArchive = "global" + variant + ".zip";
        // Files that were there before the step are the customer's: none is
        // replaced, also not the upgrade notes of an earlier run.
        const bool keepNotes = FileExists(dataFolder + "upgrade.txt");
        const bool keepUpgrade = FileExists(dataFolder + "upgrade.zip");
        RequireFreeSpace(dataFolder, ListedBytes({remoteArchive, keepNotes ? "" : "upgrade.txt",
                                                  keepUpgrade ? "" : "upgrade.zip"}));
        FetchFile(remoteArchive, archive);
        UnpackArchive(archive, TUnpack::KeepFiles);
        // The program is creating a database: it is waited for, even after
        // a cancel, and only then does the step stop.
        RunProgram(program, " \"/action=CreateAdministratieDB\" \"" + dataFolder + "GLOBAL\"", HiddenWindow);
        CheckCancelled();
        RunProgram(program, " \"/action=CreateMessagesDB\" \"" + dataFolder + "MESSAGES\"", HiddenWindow);
        CheckCancelled();
        made = true;
        for (const auto& [name, keep] : {std::pair{"upgrade.txt", keepNotes}, std::pair{"upgrade.zip", keepUpgrade}}) {
            if (keep)
                sink.Note(Format("Kept %s%s: it was there before", dataFolder.c_str(), name));
            else
                FetchFile(name, dataFolder + name);
        }
    } catch (const Exception& error) {
        sink.Note("Data step failed: " + error.Message());
        if (!ReportFailure(error, sink))
            throw EStepCancelled();
        // A verified data set stands: the configuration may point at it. The
        // upgrade files that failed were left as they were.
        if (!made)
            throw EDataSetMissing();
        return false;
    }
    return true;
}

TStepResult TInstallSteps::InstallData(const TInstallChoices& choices, TInstallSink& sink)
{
    TStepScope scope(*this, sink);
    try {
        ApplyProxy(choices);
    } catch (const EStepCancelled&) {
        sink.Note("Data step cancelled");
        return TStepResult::Cancelled;
    }
    const AnsiString dataFolder = IncludeTrailingBackslash(choices.DataFolder);
    const AnsiString installFolder = InstallFolder(choices.Drive);
    TStepResult result = TStepResult::Done;
    sink.Note(Format("Data step: folder %s, %s, variant %s, %s", dataFolder.c_str(),
                     choices.InstallDataSet ? "install data" : "no data", choices.VariantCode.c_str(),
                     ProxyText(choices).c_str()));
    if (choices.InstallDataSet && FileExists(dataFolder + "GLOBAL\\WINKEL.DAT")) {
        // An existing data set is never overwritten, whoever asks.
        sink.DataFolderRejected(Translated(u"De opgegeven locatie bevat al gegevens. Deze worden niet overschreven."));
        return TStepResult::NoDataSet;
    }
    if (choices.InstallDataSet) {
        try {
            if (!InstallDataSet(installFolder, dataFolder, choices.VariantCode, sink))
                result = TStepResult::Failed;
        } catch (const EStepCancelled&) {
            // Nothing after a cancel runs: no configuration, no shortcut.
            sink.Note("Data step cancelled");
            return TStepResult::Cancelled;
        } catch (const EDataSetMissing&) {
            // No data set was made: a configuration would point the program
            // at a folder without one, so none is written, nor a shortcut.
            return TStepResult::Failed;
        }
    } else if (!FileExists(dataFolder + "GLOBAL\\WINKEL.DAT")) {
        sink.DataFolderRejected(Translated(u"De opgegeven locatie bevat geen geldige gegevens."));
        return TStepResult::NoDataSet;
    }
    WriteConfiguration(TSetupChoices{installFolder, dataFolder, choices.VariantIndex, choices.Dutch});
    sink.Note("Written " + installFolder + "CONFIG07.INI");
    sink.Note("Written " + installFolder + "000\\CONFIG07.INI");
    sink.ConfigurationWritten();
    // The shell link object needs COM on this thread, whichever it is.
    platform::TComApartment apartment;
    CreateDesktopShortcut(*ShellLink, installFolder);
    sink.Note("Written " + ShellLink->LinkFile());
    // The program is there and configured: it can be found and removed in
    // Apps & features, also when only the upgrade files failed.
    if (!RegisterInstallation(choices, sink))
        result = TStepResult::Failed;
    sink.Note(result == TStepResult::Done ? "Data step done" : "Data step failed");
    return result;
}
