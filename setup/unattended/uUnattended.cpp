#include "setup/unattended/uUnattended.h"

#include "platform/uDrives.h"
#include "platform/uFilesInUse.h"
#include "setup/install/uInstallChecks.h"

#include <algorithm>
#include <optional>
#include "platform/uNetPlatform.h"
#include "platform/uSystem.h"
#include "runtime/uSysUtils.h"
#include "translation/uTranslator.h"

namespace {

AnsiString Translated(const char16_t* text) { return WideToAnsi(TranslateText(text)); }

// The sink of a run without a window: progress to the log, every question
// answered No (the answer that keeps what is there), failures remembered
// for the exit code.
class TLogSink final : public TInstallSink {
public:
    explicit TLogSink(TSetupLog& log) : FLog(log) {}

    void DownloadBegin(std::int32_t) override {}
    void DownloadProgress(std::int32_t) override {}
    void DownloadEnd() override {}
    void UnpackProgress(int percent) override
    {
        if (percent == 101)
            FLog.Write(Translated(u"Uitgepakt."));
    }
    void StatusLine(const AnsiString& text) override
    {
        // The first line of each file names it; the rest is the bar's.
        const AnsiString name = text.substr(0, text.find(':'));
        if (name != FLastName)
            FLog.Write(text);
        FLastName = name;
    }
    void Reconnecting(const AnsiString& text, int, int) override { FLog.Write(text); }
    bool AskYesNo(const AnsiString& question) override { return Refuse(question); }
    bool AskRetryCancel(const AnsiString& question) override { return Refuse(question); }
    void StepFailed(const AnsiString& message) override
    {
        Failed = true;
        FLog.Write(message);
    }
    void DataFolderRejected(const AnsiString& message) override
    {
        Rejected = true;
        FLog.Write(message);
    }
    void ConfigurationWritten() override { FLog.Write(Translated(u"Configuratie geschreven.")); }
    void Note(const AnsiString& line) override { FLog.Write(line); }

    bool Failed = false, Rejected = false, Asked = false;

private:
    bool Refuse(const AnsiString& question)
    {
        Asked = true;
        FLog.Write(question + " -> " + Translated(u"Nee (installatie zonder vragen)"));
        return false;
    }
    TSetupLog& FLog;
    AnsiString FLastName;
};

} // namespace

TInstallChoices UnattendedChoices(const TSetupOptions& options)
{
    TInstallChoices choices;
    choices.Drive = options.Drive;
    choices.UseProxy = options.UseProxy;
    choices.ProxyServer = options.ProxyServer;
    choices.ProxyPort = options.ProxyPort;
    choices.DataFolder =
        options.DataFolder.empty() ? TInstallSteps::DefaultDataFolder(options.Drive) : options.DataFolder;
    choices.InstallDataSet = !options.ExistingData;
    choices.VariantIndex = options.VariantIndex;
    choices.VariantCode = options.VariantCode;
    choices.Dutch = options.Language != "fr";
    return choices;
}

AnsiString FirstFileInUse(const AnsiString& installFolder, const std::vector<AnsiString>& relativePaths)
{
    std::vector<std::string> paths;
    for (const AnsiString& relative : relativePaths)
        paths.push_back(installFolder + relative);
    const platform::TFilesInUse inUse = platform::FindFilesInUse(paths);
    if (!inUse.Applications.empty())
        return inUse.Applications.front();
    if (!inUse.Files.empty())
        return inUse.Files.front();
    return {};
}

namespace {

// What an installation replaces in the install folder: what the earlier ones
// recorded, the program and the engine.
std::vector<AnsiString> ProgramFiles(const AnsiString& installFolder)
{
    TInstallRecord earlier;
    ReadInstallRecord(installFolder, earlier);
    std::vector<AnsiString> files = earlier.Files;
    files.push_back("KORVANT07.EXE");
    files.push_back("ZipEng179.dll");
    return files;
}

// Room for the components as the list gives their sizes: each archive takes
// its own size again once unpacked, and lies beside its files until then.
// A lower bound, so a drive that passes may still fill up while unpacking.
std::vector<TSpaceCheck> SpaceChecks(const TInstallSteps& steps, const TInstallChoices& choices)
{
    auto size = [&](const AnsiString& name) { return steps.ListedSize(name).value_or(0); };
    const AnsiString installFolder = TInstallSteps::InstallFolder(choices.Drive);
    const std::uint64_t main = size("main.zip"), upgrade = size("upgrade.zip");
    std::uint64_t program = size("ZipEng179.dll") + main + upgrade + std::max(main, upgrade);
    std::uint64_t data = 0;
    if (choices.InstallDataSet)
        data = 2 * size("global" + choices.VariantCode + ".zip") + upgrade + size("upgrade.txt");
    const AnsiString dataFolder = IncludeTrailingBackslash(choices.DataFolder);
    if (SameText(DriveOf(installFolder), DriveOf(dataFolder)))
        return {CheckFreeSpace(installFolder, program + data)};
    std::vector<TSpaceCheck> checks{CheckFreeSpace(installFolder, program)};
    if (data > 0)
        checks.push_back(CheckFreeSpace(dataFolder, data));
    return checks;
}

} // namespace

int RunUnattendedInstall(const TSetupOptions& options, TInstallSteps& steps, TSetupLog& log)
{
    const TInstallChoices choices = UnattendedChoices(options);
    const AnsiString installFolder = TInstallSteps::InstallFolder(choices.Drive);
    const AnsiString dataFolder = IncludeTrailingBackslash(choices.DataFolder);
    log.Write(Format("KORVANT Setup /S: %s, %s, %s%s%s", installFolder.c_str(), choices.VariantCode.c_str(),
                     dataFolder.c_str(), options.ExistingData ? ", /EXISTINGDATA" : "",
                     options.UseProxy ? (", /PROXY=" + options.ProxyServer + ":" + IntToStr(options.ProxyPort)).c_str()
                                      : ""));
    auto fail = [&](int code, const AnsiString& message) {
        log.Write(message);
        log.Write(Format(Translated(u"Einde met afsluitcode %d.").c_str(), code));
        return code;
    };

    const AnsiString root = AnsiString(1, choices.Drive) + ":\\";
    if (!platform::DriveExists(root) || !platform::IsHardDrive(root))
        return fail(ExitCommandLine, Format(Translated(u"Ongeldige waarde voor %s: %s").c_str(), "/DRIVE", root.c_str()));

    // The data set decides before anything is fetched: an existing one is
    // never installed over, a missing one is never assumed.
    const bool hasDataSet = FileExists(dataFolder + "GLOBAL\\WINKEL.DAT");
    if (options.ExistingData && !hasDataSet)
        return fail(ExitDataSet, Translated(u"De opgegeven locatie bevat geen geldige gegevens.") + " (" + dataFolder + ")");
    if (!options.ExistingData && hasDataSet)
        return fail(ExitDataSet,
                    Format(Translated(u"De gegevensmap %s bevat al gegevens; die worden niet overschreven. "
                                      u"Gebruik /EXISTINGDATA om ze te gebruiken.")
                               .c_str(),
                           dataFolder.c_str()));

    // A running program's files are never replaced under it.
    const AnsiString inUse = FirstFileInUse(installFolder, ProgramFiles(installFolder));
    if (!inUse.empty())
        return fail(ExitInUse, Format(Translated(u"KORVANT is in gebruik (%s). Sluit het programma en probeer opnieuw.")
                                          .c_str(),
                                      inUse.c_str()));

    std::optional<TSpaceCheck> noRoom;
    steps.BeforeProgramFiles = [&] {
        for (const TSpaceCheck& check : SpaceChecks(steps, choices))
            if (!check.Enough()) {
                noRoom = check;
                throw Exception(Format(Translated(u"Er is te weinig vrije schijfruimte op station %s: %s MB nodig, %s MB vrij.")
                                           .c_str(),
                                       check.Drive.c_str(), IntToStr(std::int64_t(check.NeededMB())).c_str(),
                                       IntToStr(std::int64_t(check.FreeMB())).c_str()));
            }
    };
    TLogSink sink(log);
    TStepResult result = steps.InstallProgram(choices, sink);
    if (result == TStepResult::Done) {
        log.Write(Translated(u"Programmabestanden geïnstalleerd."));
        steps.ClearCancel();
        result = steps.InstallData(choices, sink);
    }
    switch (result) {
    case TStepResult::Done:
        log.Write(Format(Translated(u"KORVANT is geïnstalleerd in %s.").c_str(), installFolder.c_str()));
        log.Write(Format(Translated(u"Einde met afsluitcode %d.").c_str(), int(ExitDone)));
        return ExitDone;
    case TStepResult::Cancelled:
        // Without a window the only cancel is a question answered No; the
        // steps ask when a program holds the files they would replace.
        if (sink.Asked && !FirstFileInUse(installFolder, ProgramFiles(installFolder)).empty())
            return fail(ExitInUse, Translated(u"De installatie is niet voltooid."));
        return fail(ExitCancelled, Translated(u"De installatie is niet voltooid."));
    case TStepResult::NoDataSet:
        return fail(ExitDataSet, Translated(u"De installatie is niet voltooid."));
    case TStepResult::Failed:
        if (noRoom)
            return fail(ExitDiskSpace, Translated(u"De installatie is niet voltooid."));
        break;
    }
    return fail(ExitFailed, Translated(u"De installatie is niet voltooid."));
}
