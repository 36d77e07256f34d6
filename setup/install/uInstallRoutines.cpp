// The routines the steps are built from: fetch a file from the download
// server, unpack an archive in place, run a program and wait for it.
#include "setup/install/uInstallSteps.h"

#include "platform/uCrypto.h"
#include "platform/uNetPlatform.h"
#include "platform/uProcess.h"
#include "platform/uSystem.h"
#include "runtime/uResStrings.h"
#include "runtime/uStreams.h"
#include "runtime/uSysUtils.h"
#include "trust/uResumingGet.h"

namespace {
// A DER ECDSA P-256 signature takes at most 72 bytes.
constexpr std::uint64_t MaxSignatureBytes = 256;
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
    if (!FComponentList)
        throw notGenuine();
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
        genuine = !line || (!checked.Spoiled() && checked.Count() == line->Size && checked.Digest() == line->Sha256);
    }
    if (!genuine)
        throw Exception(Format(Translated(u"Controle mislukt: %s is beschadigd of gewijzigd.").c_str(),
                               remoteName.c_str()));
    part.Place();
}

void TInstallSteps::DownloadWithRetries(const AnsiString& remoteName, TVerifyingStream& destination)
{
    TResumingGet get(*NetHTTP);
    get.HttpError = [this] { return HttpError(); };
    get.OnTry = [&](std::uint64_t kept, std::uint64_t total) {
        FFetchName = remoteName;
        FFetchBase = kept;
        FFetchTotal = total;
    };
    get.OnRetry = [this](int next, int tries) {
        FSink->Reconnecting(Format(Translated(u"%s: opnieuw verbinden (poging %d van %d)").c_str(),
                                   FFetchName.c_str(), next, tries),
                            next, tries);
    };
    get.Pause = [this](unsigned ms) { PauseChecked(ms); };
    get.Get(FBaseUrl + remoteName, destination);
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

void TInstallSteps::UnpackArchive(const AnsiString& archivePath)
{
    ZipArchive->SetExtrBaseDir(ExtractFilePath(archivePath));
    FZipBetweenEntries = true;
    ZipArchive->SetZipFileName(archivePath);
    const int errorId = ZipArchive->Extract();
    // Stopped by the user: not a failure, and the archive stays.
    CheckCancelled();
    if (ZipArchive->ErrCode() != 0)
        throw Exception(Translated(u"Unzip Error:") +
                        Format("%d: %s", ZipArchive->ErrCode(), ZipArchive->ErrMessage().c_str()));
    // The archive could not be opened or listed, or the engine not loaded:
    // nothing was installed, so this is a failure too, and the archive stays.
    if (errorId != 0)
        throw Exception(Translated(u"Unzip Error:") + Format("%d: %s", errorId, ZipArchive->ErrMessage().c_str()));
    DeleteFile(archivePath);
}

int TInstallSteps::RunAndWait(const AnsiString& program, const AnsiString& arguments, std::uint16_t showWindow)
{
    return platform::RunAndWait(program + arguments, showWindow);
}
