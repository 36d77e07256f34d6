// The routines the steps are built from: fetch a file from the download
// server, unpack an archive in place, run a program and wait for it.
#include "setup/install/uInstallSteps.h"
#include "setup/install/uFetchAlongside.h"

#include "platform/uCrypto.h"
#include "platform/uFilesInUse.h"
#include "platform/uNetPlatform.h"
#include "platform/uOwner.h"
#include "platform/uProcess.h"
#include "platform/uSystem.h"
#include "runtime/uResStrings.h"
#include "runtime/uStreams.h"
#include "runtime/uSysUtils.h"
#include "setup/install/uInstallChecks.h"
#include "trust/uListSerial.h"
#include "trust/uResumingGet.h"
#include "zip/uZipContract.h"
#include "ziprecords/uZipPaths.h"

#include <algorithm>

namespace {
// A DER ECDSA P-256 signature takes at most 72 bytes.
constexpr std::uint64_t MaxSignatureBytes = 256;

AnsiString HexDigest(const platform::TSha256Digest& digest)
{
    static const char* const Digits = "0123456789abcdef";
    AnsiString hex;
    for (std::uint8_t b : digest) {
        hex += Digits[b >> 4];
        hex += Digits[b & 15];
    }
    return hex;
}
} // namespace

Exception TInstallSteps::HttpError() const
{
    return Exception(Translated(u"HTTP Error:") +
                     Format("%d: %s", NetHTTP->ResponseCode(), NetHTTP->ResponseText().c_str()));
}

std::vector<std::uint8_t> TInstallSteps::FetchSmall(const char* name, std::uint64_t limit)
{
    // Both are small: more than their limits is no list of ours. A refusal
    // or a broken line fails as for any other file: nobody forged anything.
    TMemoryStream bytes;
    TVerifyingStream limited(bytes, limit);
    try {
        DownloadWithRetries(name, limited);
    } catch (const EWriteError&) {
        throw Exception(Format(Translated(u"Controle mislukt: %s is niet echt.").c_str(), name));
    }
    return bytes.Data();
}

void TInstallSteps::LoadComponentList()
{
    if (FManifestKey.empty() || FComponentList)
        return;
    auto notGenuine = [] {
        return Exception(Format(Translated(u"Controle mislukt: %s is niet echt.").c_str(), "manifest.txt"));
    };
    const std::vector<std::uint8_t> list = FetchSmall("manifest.txt", TManifest::MaxBytes);
    const std::vector<std::uint8_t> signature = FetchSmall("manifest.sig", MaxSignatureBytes);
    const auto raw = EcdsaSignatureFromDer(signature);
    // A signature that does not fit says the list is not the one we signed.
    if (!raw || !platform::VerifyEcdsaP256(FManifestKey, platform::Sha256(list), *raw))
        throw notGenuine();
    std::string why;
    FComponentList = TManifest::Parse(std::string_view(reinterpret_cast<const char*>(list.data()), list.size()), why);
    // A genuine but older list is a replay: refused like a forged one.
    if (!FComponentList || !listserial::Accept(*FComponentList, MinimumListSerial)) {
        FComponentList.reset();
        throw notGenuine();
    }
}

namespace {

// A download's file "NAME.part" beside its target: what arrives is written
// there and checked there, and only a file that passed takes the target's
// name. On every other way out it is removed and the target stays as it was.
class TPartFile {
public:
    explicit TPartFile(const AnsiString& target) : FTarget(target), FPath(target + ".part") {}
    ~TPartFile()
    {
        if (!FPlaced)
            DeleteFile(FPath);
    }
    TPartFile(const TPartFile&) = delete;
    TPartFile& operator=(const TPartFile&) = delete;

    const AnsiString& Path() const { return FPath; }
    // Renames it over the target, on the disk before this returns.
    void Place()
    {
        if (!platform::ReplaceFileWith(FPath, FTarget))
            throw EFCreateError(Format(LoadResString(rs::SFCreateError).c_str(), FTarget.c_str()));
        FPlaced = true;
    }

private:
    AnsiString FTarget, FPath;
    bool FPlaced = false;
};

// Opens the part file; a failure names the target, the file the user knows.
TFileStream CreatePartStream(const TPartFile& part, const AnsiString& target)
{
    try {
        return TFileStream(part.Path(), fmCreate);
    } catch (const EFCreateError&) {
        throw EFCreateError(Format(LoadResString(rs::SFCreateError).c_str(), target.c_str()));
    }
}

} // namespace

void TInstallSteps::FetchFile(const AnsiString& remoteName, const AnsiString& localPath)
{
    const TManifestEntry* line = nullptr;
    if (!FManifestKey.empty()) {
        LoadComponentList();
        line = FComponentList->Find(remoteName);
        if (!line)
            throw Exception(Format(Translated(u"Controle mislukt: %s staat niet in de lijst van onderdelen.").c_str(),
                                   remoteName.c_str()));
    }
    TPartFile part(localPath);
    bool genuine = false;
    {
        TFileStream file = CreatePartStream(part, localPath);
        TVerifyingStream checked(file, line ? line->Size : ~std::uint64_t(0));
        try {
            // Tries after a drop resume this same file.
            DownloadWithRetries(remoteName, checked);
        } catch (const EWriteError&) {
            if (!line)
                throw;
            // More bytes than listed: not the file, whatever else it is.
        }
        // The digest can be taken once only.
        const platform::TSha256Digest digest = checked.Digest();
        genuine = !line || (!checked.Spoiled() && checked.Count() == line->Size && digest == line->Sha256);
        if (line)
            Sink().Note(Format("Verified %s: %llu bytes, SHA-256 %s, %s", remoteName.c_str(),
                               static_cast<unsigned long long>(checked.Count()),
                               checked.Spoiled() ? "(not all of it)" : HexDigest(digest).c_str(),
                               genuine ? "genuine" : "NOT genuine"));
    }
    if (!genuine)
        throw Exception(Format(Translated(u"Controle mislukt: %s is beschadigd of gewijzigd.").c_str(),
                               remoteName.c_str()));
    // Beside an unpack, the file takes its name only once the step needs it.
    if (FThreadSink)
        FThreadSink->AwaitPlace();
    part.Place();
}

namespace {
// The way being tried cannot be reached and another is left: no more tries
// of this one.
struct ENextProxy {};
} // namespace

void TInstallSteps::DownloadWithRetries(const AnsiString& remoteName, TVerifyingStream& destination)
{
    TResumingGet get(*NetHTTP);
    get.HttpError = [this] { return HttpError(); };
    const AnsiString url = FBaseUrl + remoteName;
    const std::uint64_t started = platform::TickCountMs();
    int tries = 0;
    std::uint64_t resumedFrom = 0;
    get.OnTry = [&](std::uint64_t kept, std::uint64_t total) {
        FFetchName = remoteName;
        FFetchBase = kept;
        FFetchTotal = total;
        FConnected = false;
        ++tries;
        if (kept > 0)
            resumedFrom = kept;
    };
    // The request as support needs it: what was asked, what came, how long
    // it took, how often and from where it was asked again, and which way.
    auto note = [&](const AnsiString& outcome) {
        AnsiString line = Format("GET %s: %s, %llu bytes in %llu ms", url.c_str(), outcome.c_str(),
                                 static_cast<unsigned long long>(destination.Count()),
                                 static_cast<unsigned long long>(platform::TickCountMs() - started));
        if (tries > 1)
            line += Format(", %d tries", tries);
        if (resumedFrom > 0)
            line += Format(", resumed with Range: bytes=%llu-", static_cast<unsigned long long>(resumedFrom));
        Sink().Note(line + ", " + RequestRouteText());
    };
    get.OnRetry = [this](int next, int tries) {
        // A proxy that takes no connection is not waited for while the
        // system named another.
        if (!FConnected && NextRouteHop())
            throw ENextProxy();
        Sink().Reconnecting(Format(Translated(u"%s: opnieuw verbinden (poging %d van %d)").c_str(),
                                   FFetchName.c_str(), next, tries),
                            next, tries);
    };
    get.Pause = [this](unsigned ms) { PauseChecked(ms); };
    for (;;) {
        AnsiString why;
        try {
            get.Get(url, destination);
            break;
        } catch (const ENextProxy&) {
            why = "no connection";
        } catch (const EFetchStopped&) {
            note("stopped");
            throw;
        } catch (const EStepCancelled&) {
            note("cancelled");
            throw;
        } catch (const Exception& error) {
            if (FConnected || !NextRouteHop() || !TResumingGet::Transient(error)) {
                note("failed (" + error.Message() + ")" +
                     (NetHTTP->ResponseCode() > 0 ? ", last answer " + NetHTTP->ResponseText() : AnsiString()));
                throw;
            }
            why = error.Message();
        }
        const AnsiString from = FRoute->Hops[FRouteHop].Text();
        ++FRouteHop;
        UseRouteHop();
        Sink().Note("System proxy " + from + " cannot be reached (" + why + "); next: " + FRoute->Hops[FRouteHop].Text());
        // What came through the way that failed is not resumed through another.
        if (destination.Count() > 0)
            destination.Restart();
    }
    note(NetHTTP->ResponseText());
    ShowDownloadStatus(destination.Count(), true);
    FFetchName.clear();
}

void TInstallSteps::PauseChecked(unsigned ms)
{
    constexpr unsigned kSliceMs = 20;
    const std::uint64_t started = platform::TickCountMs();
    for (;;) {
        CheckCancelled();
        const std::uint64_t waited = platform::TickCountMs() - started;
        if (waited >= ms)
            return;
        platform::SleepMs(static_cast<unsigned>(std::min<std::uint64_t>(kSliceMs, ms - waited)));
    }
}

void TInstallSteps::UnpackArchive(const AnsiString& archivePath, TUnpack mode)
{
    UnpackArchive(archivePath, mode, nullptr);
}

void TInstallSteps::UnpackArchive(const AnsiString& archivePath, TUnpack mode, TFetchAlongside* alongside)
{
    const AnsiString folder = ExtractFilePath(archivePath);
    const AnsiString name = ExtractFileName(archivePath);
    ZipArchive->SetExtrBaseDir(folder);
    FZipBetweenEntries = true;
    ZipArchive->SetZipFileName(archivePath);
    const std::vector<TArchiveFile> files = ArchiveFiles(*ZipArchive);
    const TUnpackPlan plan = PlanUnpack(files, folder);
    // Files kept, and no file of the customer's replaced: only new names.
    const bool replace = mode == TUnpack::ReplaceFiles;
    // A download beside it needs its room at the same time.
    RequireFreeSpace(folder, (replace ? plan.Bytes : NewFileBytes(files, plan)) + (alongside ? alongside->Bytes() : 0));
    platform::TScopeGuard alongsideScope([this] { FAlongside = nullptr; });
    if (alongside) {
        alongside->Start();
        FAlongside = alongside;
    }
    if (replace)
        WaitUntilNotInUse(plan.Existing);

    std::vector<AnsiString> skipped;
    ZipArchive->Events.OnExtractSkipped = [&](TObject*, const AnsiString& entry, UnZipSkipTypes, int) {
        skipped.push_back(entry);
    };
    // A file that exists and cannot be replaced ends the extraction there:
    // no more old files give way to new ones after it.
    FStopUnpacking = false;
    ZipArchive->Events.OnMessage = [&](TObject*, int code, const AnsiString&) {
        if ((code & 0xFF) == zipeng::eeCreateFile && FileExists(folder + ZipArchive->ErrEntry()))
            FStopUnpacking = true;
    };
    ZipArchive->SetExtrOptions(replace ? ExtrDirNames | ExtrOverWrite : ExtrDirNames);
    const int errorId = ZipArchive->Extract();
    ZipArchive->SetExtrOptions(ExtrDirNames | ExtrOverWrite);
    ZipArchive->Events.OnExtractSkipped = nullptr;
    ZipArchive->Events.OnMessage = nullptr;

    std::uint64_t bytes = 0;
    for (const TArchiveFile& file : files)
        bytes += file.Size;
    AnsiString line = Format("Unpacked %s into %s: %d files, %llu bytes", name.c_str(), folder.c_str(),
                             ZipArchive->SuccessCnt(), static_cast<unsigned long long>(bytes));
    if (!skipped.empty()) {
        line += ", kept as they were:";
        for (const AnsiString& entry : skipped)
            line += " " + entry;
    }
    if (ZipArchive->ErrCode() != 0 || errorId != 0)
        line += Format("; engine error %d (%d): %s", ZipArchive->ErrCode(), errorId, ZipArchive->ErrMessage().c_str());
    Sink().Note(line);

    // Stopped by the user: not a failure, and the archive stays.
    CheckCancelled();
    const AnsiString entry = ZipArchive->ErrEntry();
    if (FStopUnpacking && !entry.empty())
        throw Exception(Format(Translated(u"Het bestand %s kan niet vervangen worden.").c_str(), (folder + entry).c_str()));
    if (ZipArchive->ErrCode() != 0)
        throw Exception(Translated(u"Unzip Error:") +
                        Format("%d: %s", ZipArchive->ErrCode(), ZipArchive->ErrMessage().c_str()));
    // The archive could not be opened or listed, or the engine not loaded:
    // nothing was installed, so this is a failure too, and the archive stays.
    if (errorId != 0)
        throw Exception(Translated(u"Unzip Error:") + Format("%d: %s", errorId, ZipArchive->ErrMessage().c_str()));
    DeleteFile(archivePath);
}

std::uint64_t TInstallSteps::ListedBytes(std::initializer_list<AnsiString> names) const
{
    std::uint64_t bytes = 0;
    if (FComponentList)
        for (const AnsiString& name : names)
            if (const TManifestEntry* line = name.empty() ? nullptr : FComponentList->Find(name))
                bytes += line->Size;
    return bytes;
}

std::uint64_t TInstallSteps::NewFileBytes(const std::vector<TArchiveFile>& files, const TUnpackPlan& plan)
{
    // Without replacing, a file that exists takes no room at all.
    std::uint64_t bytes = 0;
    for (std::size_t i = 0, t = 0; i < files.size() && t < plan.Targets.size(); ++i) {
        if (ziprec::SafeRelativePath(AnsiToWide(files[i].Name), true).empty())
            continue;
        const AnsiString& target = plan.Targets[t++];
        if (std::find(plan.Existing.begin(), plan.Existing.end(), target) == plan.Existing.end())
            bytes += files[i].Size;
    }
    return bytes;
}

void TInstallSteps::RequireFreeSpace(const AnsiString& folder, std::uint64_t bytes)
{
    const TSpaceCheck check = CheckFreeSpace(folder, bytes, FreeSpace);
    Sink().Note(Format("Free space on %s %s MB, needed %llu MB", check.Drive.c_str(),
                       check.Free ? std::to_string(check.FreeMB()).c_str() : "(unknown)",
                       static_cast<unsigned long long>(check.NeededMB())));
    if (!check.Enough())
        throw Exception(Format(Translated(u"Te weinig vrije schijfruimte op station %s. Nodig: %s MB, vrij: %s MB.").c_str(),
                               check.Drive.c_str(), std::to_string(check.NeededMB()).c_str(),
                               std::to_string(check.FreeMB()).c_str()));
}

void TInstallSteps::WaitUntilNotInUse(const std::vector<AnsiString>& files)
{
    for (;;) {
        CheckCancelled();
        const platform::TFilesInUse inUse = platform::FindFilesInUse(files, RestartManager);
        if (!inUse.Any())
            return;
        AnsiString line = inUse.Method == platform::TInUseMethod::RestartManager ? "In use by:" : "In use:";
        for (const std::string& program : inUse.Applications)
            line += " " + program;
        for (const std::string& file : inUse.Files)
            line += " " + file;
        Sink().Note(line);
        const AnsiString question = Translated(u"KORVANT is nog geopend. Sluit het programma en kies Opnieuw proberen.");
        const bool retry = Sink().AskRetryCancel(question);
        Sink().Note("Question: " + question + " Answer: " + (retry ? "Retry" : "Cancel"));
        // Cancel ends the step with nothing replaced, as the user's own Cancel does.
        if (!retry)
            throw EStepCancelled();
    }
}

int TInstallSteps::RunAndWait(const AnsiString& program, const AnsiString& arguments, std::uint16_t showWindow)
{
    return platform::RunAndWait(program + arguments, showWindow);
}

int TInstallSteps::RunProgram(const AnsiString& program, const AnsiString& arguments, std::uint16_t showWindow)
{
    const int exitCode = RunAndWait(program, arguments, showWindow);
    Sink().Note(Format("Run %s%s: exit code %d", program.c_str(), arguments.c_str(), exitCode));
    return exitCode;
}
