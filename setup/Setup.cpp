// Entry point of Setup.exe. Without arguments: the wizard. With /S: the
// installation without a window (setup/unattended/); with /UNINSTALL: the
// uninstaller (setup/uninstall/); /? shows the usage.
#include "setup/ufrmMain.h"

#include "platform/uLibrary.h"
#include "platform/uSetupHost.h"
#include "platform/uSystem.h"
#include "platform/uSystemInfo.h"

#include <memory>
#include "setup/uDownloadSource.h"
#include "setup/unattended/uUnattended.h"
#include "setup/uninstall/uUninstall.h"
#include "translation/uTranslator.h"

namespace {

constexpr const char* Title = "Korvant Setup";

std::vector<AnsiString> Arguments;

AnsiString JoinedArguments()
{
    AnsiString text;
    for (const AnsiString& arg : Arguments)
        text += (text.empty() ? "" : " ") + arg;
    return text;
}

int RunWizard()
{
    try {
        Application->Initialize();
        Application->SetTitle(Title);
        RegisterTranslationIgnores();
        Application->CreateForm(frmMain);
        Application->Run();
    } catch (const std::exception& e) {
        // Only start-up itself can get here; handlers report their own.
        Application->HandleException(nullptr, e);
        return 1;
    }
    return 0;
}

// The uninstaller's questions and reports: message boxes, or none with /S.
class TUninstallBoxes final : public TUninstallView {
public:
    explicit TUninstallBoxes(bool silent) : FSilent(silent) {}
    bool Confirm(const AnsiString& question) override { return FSilent || platform::AskYesNoBox(Title, question); }
    void Tell(const AnsiString& message, bool error) override
    {
        if (FSilent)
            return;
        if (error)
            platform::ShowErrorMessageBox(Title, message);
        else
            platform::ShowInfoBox(Title, message);
    }

private:
    bool FSilent;
};

// The log at the path the command line names, or in the temporary folder.
std::unique_ptr<TSetupLog> OpenLog(const TSetupOptions& options)
{
    auto log = options.LogPath.empty() ? std::make_unique<TSetupLog>()
                                       : std::make_unique<TSetupLog>(TSetupLog::TNamedFile{options.LogPath});
    log->Write("KORVANT Setup " + SetupVersionText() + ", Windows " + platform::WindowsVersion() + ", " +
               JoinedArguments());
    return log;
}

int RunCommandLine(const std::vector<AnsiString>& args)
{
    const TCommandLine commandLine = ParseCommandLine(args);
    const TSetupOptions& options = commandLine.Options;
    ChooseLanguage(options.Language);
    if (!commandLine.Ok()) {
        const AnsiString message = CommandLineFaultText(commandLine);
        if (options.Silent) {
            OpenLog(options)->Write(message);
            platform::WriteStandardError(message + "\r\n");
        } else {
            platform::ShowErrorMessageBox(Title, message);
        }
        return ExitCommandLine;
    }
    switch (options.Mode) {
    case TSetupMode::Usage:
        platform::ShowInfoBox(Title, UsageText());
        return ExitDone;
    case TSetupMode::Unattended: {
        const auto log = OpenLog(options);
        TInstallSteps steps(nullptr, DownloadBaseUrl(), ManifestKey());
        return RunUnattendedInstall(options, steps, *log);
    }
    case TSetupMode::Uninstall: {
        const auto log = OpenLog(options);
        TUninstallBoxes view(options.Silent);
        return RunUninstall(platform::ModuleFileName(), view, *log);
    }
    case TSetupMode::Wizard:
        break;
    }
    return RunWizard();
}

} // namespace

extern "C" int WinMain(struct HINSTANCE__*, struct HINSTANCE__*, char*, int)
{
    // Before anything loads a library: no DLL planted beside the download
    // or in the current folder is ever taken for a system one.
    platform::RestrictDllSearch();
    for (const std::string& arg : platform::CommandLineArguments())
        Arguments.push_back(arg);
    if (Arguments.empty())
        return RunWizard();
    try {
        return RunCommandLine(Arguments);
    } catch (const std::exception& e) {
        platform::WriteStandardError(AnsiString(e.what()) + "\r\n");
        return ExitFailed;
    }
}
