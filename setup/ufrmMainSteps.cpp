// The wizard's two installation steps and the routines they are built from:
// fetch a file from the download server, unpack an archive in place, run the
// installed program and wait for it.
#include "ufrmMain.h"

#include "platform/uCrypto.h"
#include "platform/uNetPlatform.h"
#include "platform/uProcess.h"
#include "runtime/uStreams.h"
#include "runtime/uSysUtils.h"
#include "setup/config/uConfigFiles.h"
#include "setup/config/uDesktopShortcut.h"
#include "translation/uTranslator.h"
#include "trust/uListSerial.h"
#include "trust/uResumingGet.h"
#include "trust/uVerifyingStream.h"

#include "manifest_key.h"

#ifndef KORVANT_DOWNLOAD_URL
#error "KORVANT_DOWNLOAD_URL must name the download server's base URL"
#endif

namespace {

constexpr const char* DownloadBaseUrl = KORVANT_DOWNLOAD_URL;
constexpr const char* ArchivePassword = "mirabel ";
constexpr std::uint16_t HiddenWindow = 0; // SW_HIDE

constexpr int DataPage = 5;
// A DER ECDSA P-256 signature takes at most 72 bytes.
constexpr std::uint64_t MaxSignatureBytes = 256;

} // namespace

AnsiString TfrmMain::Translated(const char16_t* text)
{
    return WideToAnsi(TranslateText(text));
}

void TfrmMain::CreateInstallComponents()
{
    NetHTTP = new TNetHTTP(this);
    NetHTTP->SetName("NetHTTP");
    NetHTTP->OnWorkBegin = [this](TObject* s, TWorkMode m, std::int32_t total) { NetHTTPWorkBegin(s, m, total); };
    NetHTTP->OnWork = [this](TObject* s, TWorkMode m, std::int32_t count) { NetHTTPWork(s, m, count); };
    NetHTTP->OnWorkEnd = [this](TObject* s, TWorkMode m) { NetHTTPWorkEnd(s, m); };
    NetHTTP->AuthRetries = 0;
    NetHTTP->AuthProxyRetries = 0;
    NetHTTP->AllowCookies = true;
    NetHTTP->ProxyParams().BasicAuthentication = false;
    NetHTTP->ProxyParams().SetProxyPort(0);
    TNetHTTPRequest& request = NetHTTP->Request();
    request.ContentLength = -1;
    request.ContentRangeStart = request.ContentRangeEnd = request.ContentRangeInstanceLength = 0;
    request.SetAccept("text/html, */*");
    request.BasicAuthentication = false;
    request.SetUserAgent("Mozilla/3.0 (compatible; Korvant Setup)");
    NetHTTP->HTTPOptions = hoEncodeParams;
    NetHTTP->ConnectTimeout = DownloadConnectTimeoutMs;
    NetHTTP->ReadTimeout = DownloadReadTimeoutMs;

    ZipArchive = new TZipArchive(this);
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
    // After every engine callback: the window's messages, and a cancel once
    // the engine stands at the start of an entry.
    ZipArchive->Events.OnCheckTerminate = [this](TObject*, bool& abort) {
        KeepAlive();
        if (Cancelled() && FZipBetweenEntries)
            abort = true;
    };
    ZipArchive->Loaded();

    ShellLink = new TShellLink(this);
    ShellLink->SetName("ShellLink");
}

// --- progress wiring ---------------------------------------------------------

void TfrmMain::NetHTTPWorkBegin(TObject*, TWorkMode, std::int32_t workCountMax)
{
    if (workCountMax > 0)
        ProgressBar->SetMax(workCountMax);
    if (workCountMax > 0 && FFetchTotal == 0)
        FFetchTotal = FFetchBase + std::uint64_t(workCountMax);
    FFetchStartTick = platform::TickCountMs();
    ShowDownloadStatus(FFetchBase, true);
}

void TfrmMain::NetHTTPWork(TObject*, TWorkMode, std::int32_t workCount)
{
    ProgressBar->SetPosition(workCount);
    ShowDownloadStatus(FFetchBase + std::uint64_t(workCount));
    // Throwing here breaks the transfer off; the client drops the connection.
    StepTick();
}

void TfrmMain::NetHTTPWorkEnd(TObject*, TWorkMode) { ProgressBar->SetPosition(0); }

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

void TfrmMain::ShowDownloadStatus(std::uint64_t done, bool force)
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
    lbDOWNLOAD->SetCaption(text);
    lbDOWNLOAD->Repaint();
}

void TfrmMain::ShowReconnecting(int attempt, int attempts)
{
    lbDOWNLOAD->SetCaption(Format(Translated(u"%s: opnieuw verbinden (poging %d van %d)").c_str(),
                                  FFetchName.c_str(), attempt, attempts));
    lbDOWNLOAD->Repaint();
}

void TfrmMain::ZipArchiveTotalProgress(TObject*, std::int64_t, int percent) { ProgressBar->SetPosition(percent); }

// --- fetch, unpack, run ------------------------------------------------------

Exception TfrmMain::HttpError() const
{
    return Exception(Translated(u"HTTP Error:") +
                     Format("%d: %s", NetHTTP->ResponseCode(), NetHTTP->ResponseText().c_str()));
}

void TfrmMain::LoadComponentList()
{
    if (ManifestPublicKey.empty() || FComponentList)
        return;
    auto notGenuine = [](const char* name) {
        return Exception(Format(Translated(u"Controle mislukt: %s is niet echt.").c_str(), name));
    };
    // Both are small: more than their limits, or a refusal, is no list of ours.
    auto fetchSmall = [&](const char* name, std::uint64_t limit) {
        TMemoryStream bytes;
        TVerifyingStream limited(bytes, limit);
        try {
            DownloadWithRetries(name, limited);
        } catch (const EWriteError&) {
            throw notGenuine(name);
        } catch (const Exception&) {
            // The server answered, but not with the file.
            if (NetHTTP->ResponseCode() >= 300)
                throw notGenuine(name);
            throw;
        }
        return bytes.Data();
    };
    const std::vector<std::uint8_t> list = fetchSmall("manifest.txt", TManifest::MaxBytes);
    const std::vector<std::uint8_t> signature = fetchSmall("manifest.sig", MaxSignatureBytes);
    const auto raw = EcdsaSignatureFromDer(signature);
    // A signature that does not fit says the list is not the one we signed.
    if (!raw || !platform::VerifyEcdsaP256(ManifestPublicKey, platform::Sha256(list), *raw))
        throw notGenuine("manifest.txt");
    std::string why;
    FComponentList = TManifest::Parse(std::string_view(reinterpret_cast<const char*>(list.data()), list.size()), why);
    // A genuine but older list is a replay: refused like a forged one.
    if (!FComponentList || !listserial::Accept(*FComponentList, ManifestMinimumSerial)) {
        FComponentList.reset();
        throw notGenuine("manifest.txt");
    }
}

void TfrmMain::FetchFile(const AnsiString& remoteName, const AnsiString& localPath)
{
    const TManifestEntry* line = nullptr;
    if (!ManifestPublicKey.empty()) {
        LoadComponentList();
        line = FComponentList->Find(remoteName);
        if (!line)
            throw Exception(Format(Translated(u"Controle mislukt: %s staat niet in de lijst van onderdelen.").c_str(),
                                   remoteName.c_str()));
    }
    bool genuine = false;
    {
        // Truncated first: a failed fetch leaves an empty or partial file.
        TFileStream file(localPath, fmCreate);
        TVerifyingStream checked(file, line ? line->Size : ~std::uint64_t(0));
        try {
            DownloadWithRetries(remoteName, checked);
        } catch (const EWriteError&) {
            if (!line)
                throw;
            // More bytes than listed: not the file, whatever else it is.
        }
        genuine = !line || (!checked.Spoiled() && checked.Count() == line->Size && checked.Digest() == line->Sha256);
    }
    if (!genuine) {
        // Nothing of an unverified file stays to be loaded, unpacked or run.
        DeleteFile(localPath);
        throw Exception(Format(Translated(u"Controle mislukt: %s is beschadigd of gewijzigd.").c_str(),
                               remoteName.c_str()));
    }
}

void TfrmMain::DownloadWithRetries(const AnsiString& remoteName, TVerifyingStream& destination)
{
    TResumingGet get(*NetHTTP);
    get.HttpError = [this] { return HttpError(); };
    get.OnTry = [&](std::uint64_t kept, std::uint64_t total) {
        FFetchName = remoteName;
        FFetchBase = kept;
        FFetchTotal = total;
    };
    get.OnRetry = [this](int next, int tries) { ShowReconnecting(next, tries); };
    get.Pause = [this](unsigned ms) { PauseAlive(ms); };
    get.Get(DownloadBaseUrl + remoteName, destination);
    ShowDownloadStatus(destination.Count(), true);
    FFetchName.clear();
}

void TfrmMain::PauseAlive(unsigned ms)
{
    constexpr unsigned kSliceMs = 20;
    const std::uint64_t started = platform::TickCountMs();
    for (;;) {
        StepTick();
        const std::uint64_t waited = platform::TickCountMs() - started;
        if (waited >= ms)
            return;
        platform::SleepMs(static_cast<unsigned>(std::min<std::uint64_t>(kSliceMs, ms - waited)));
    }
}

void TfrmMain::UnpackArchive(const AnsiString& archivePath)
{
    ZipArchive->SetExtrBaseDir(ExtractFilePath(archivePath));
    FZipBetweenEntries = true;
    ZipArchive->SetZipFileName(archivePath);
    const int errorId = ZipArchive->Extract();
    // Stopped by the user: not a failure, and the archive stays.
    CheckCancelled();
    if (ZipArchive->ErrCode() != 0)
        throw Exception(Translated(u"Unzip Error:") + Format("%d: %s", ZipArchive->ErrCode(), ZipArchive->ErrMessage().c_str()));
    // The archive could not be opened or listed, or the engine not loaded:
    // nothing was installed, so this is a failure too, and the archive stays.
    if (errorId != 0)
        throw Exception(Translated(u"Unzip Error:") + Format("%d: %s", errorId, ZipArchive->ErrMessage().c_str()));
    DeleteFile(archivePath);
}

int TfrmMain::RunAndWait(const AnsiString& program, const AnsiString& arguments, std::uint16_t showWindow,
                         const std::function<void()>& whileWaiting)
{
    return platform::RunAndWait(program + arguments, showWindow, whileWaiting);
}

// --- the two steps -------------------------------------------------------------

AnsiString TfrmMain::InstallFolder() const
{
    return AnsiString(1, InstallDrive->Drive()) + ":\\KORVANT07\\";
}

void TfrmMain::ApplyProxySettings()
{
    if (!PROXY_USE->Checked())
        return;
    NetHTTP->ProxyParams().SetProxyServer(PROXY_SERVER->Text());
    NetHTTP->ProxyParams().SetProxyPort(PROXY_POORT->AsInteger());
}

void TfrmMain::InstallProgram()
{
    TBusyState busy(*this);
    ApplyProxySettings();
    const AnsiString installFolder = InstallFolder();
    GegevensLocatie->SetText(installFolder + "DATA07");
    // A folder that cannot be made shows up as the first fetch's error.
    if (!DirectoryExists(installFolder))
        ForceDirectories(installFolder);
    try {
        LoadComponentList();
        FetchFile("ZipEng179.dll", installFolder + "ZipEng179.dll");
        ZipArchive->SetDLLDirectory(installFolder);
        FetchFile("main.zip", installFolder + "main.zip");
        UnpackArchive(installFolder + "main.zip");
        FetchFile("upgrade.zip", installFolder + "upgrade.zip");
        UnpackArchive(installFolder + "upgrade.zip");
        GegevensType->SetItemIndex(0);
    } catch (const EStepCancelled&) {
        StepCancelled();
    } catch (const Exception& error) {
        StepFailed(error);
    }
}

bool TfrmMain::InstallData()
{
    TBusyState busy(*this);
    ApplyProxySettings();
    const AnsiString dataFolder = IncludeTrailingBackslash(GegevensLocatie->Text());
    const AnsiString installFolder = InstallFolder();

    if (rbSERVER->Checked()) {
        try {
            for (const char* folder : {"", "GLOBAL", "MESSAGES", "LEVLIST"})
                if (!DirectoryExists(dataFolder + folder))
                    ForceDirectories(dataFolder + folder);
            const AnsiString program = installFolder + "KORVANT07.EXE";
            const AnsiString archive = dataFolder + "GLOBAL\\global.zip";
            FetchFile("global" + GegevensType->Value() + ".zip", archive);
            UnpackArchive(archive);
            // The program is creating a database: it is waited for, even
            // after a cancel, and only then does the step stop.
            const auto alive = [this] { KeepAlive(); };
            RunAndWait(program, " \"/action=CreateAdministratieDB\" \"" + dataFolder + "GLOBAL\"", HiddenWindow, alive);
            CheckCancelled();
            RunAndWait(program, " \"/action=CreateMessagesDB\" \"" + dataFolder + "MESSAGES\"", HiddenWindow, alive);
            CheckCancelled();
            FetchFile("upgrade.txt", dataFolder + "upgrade.txt");
            FetchFile("upgrade.zip", dataFolder + "upgrade.zip");
        } catch (const EStepCancelled&) {
            // Nothing after a cancel runs: no configuration, no shortcut.
            StepCancelled();
            return false;
        } catch (const Exception& error) {
            StepFailed(error);
        }
    } else if (!FileExists(dataFolder + "GLOBAL\\WINKEL.DAT")) {
        ShowErrorBox(Translated(u"De opgegeven locatie bevat geen geldige gegevens."));
        // Back to where the folder can be corrected.
        Notebook1->SetPageIndex(DataPage);
        GegevensLocatie->SetFocus();
        return false;
    }

    WriteConfiguration(TSetupChoices{installFolder, dataFolder, GegevensType->ItemIndex(), rbNEDERLANDS->Checked()});
    btFINISH->BringToFront();
    CreateDesktopShortcut(*ShellLink, installFolder);
    return true;
}
