// The routines the steps are built from: fetch a file from the download
// server, unpack an archive in place, run a program and wait for it.
#include "setup/install/uInstallSteps.h"

#include "platform/uCrypto.h"
#include "platform/uNetPlatform.h"
#include "platform/uProcess.h"
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
    auto notGenuine = [name] {
        return Exception(Format(Translated(u"Controle mislukt: %s is niet echt.").c_str(), name));
    };
    // Both are small: more than their limits, or a refusal, is no list of ours.
    TMemoryStream bytes;
    TVerifyingStream limited(bytes, limit);
    try {
        DownloadWithRetries(name, limited);
    } catch (const EWriteError&) {
        throw notGenuine();
    } catch (const Exception&) {
        // The server answered, but not with the file.
        if (NetHTTP->ResponseCode() >= 300)
            throw notGenuine();
        throw;
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
