#include "setup/uninstall/uUninstall.h"

#include "platform/uCom.h"
#include "platform/uNetPlatform.h"
#include "platform/uDrives.h"
#include "platform/uSetupHost.h"
#include "platform/uSystem.h"
#include "runtime/ShellLink.h"
#include "runtime/uIniFiles.h"
#include "runtime/uRegistry.h"
#include "runtime/uSysUtils.h"
#include "setup/config/uDesktopShortcut.h"
#include "setup/install/uInstallRecord.h"
#include "setup/unattended/uExitCodes.h"
#include "setup/unattended/uUnattended.h"
#include "translation/uTranslator.h"

#include <algorithm>

namespace {

AnsiString Translated(const char16_t* text) { return WideToAnsi(TranslateText(text)); }

bool Inside(const AnsiString& path, const AnsiString& folder)
{
    const AnsiString prefix = IncludeTrailingBackslash(folder);
    return path.size() >= prefix.size() && SameText(path.substr(0, prefix.size()), prefix);
}

// The data folder the main configuration points at, without its quotes.
AnsiString ConfiguredDataFolder(const AnsiString& installFolder)
{
    if (!FileExists(installFolder + "CONFIG07.INI"))
        return {};
    TIniFile ini(installFolder + "CONFIG07.INI");
    AnsiString folder = Trim(ini.ReadString("000", "BEDRIJF_DIRECTORY", ""));
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
        folder = folder.substr(1, folder.size() - 2);
    return folder.empty() ? AnsiString() : IncludeTrailingBackslash(folder);
}

// The desktop's "Korvant.lnk" when it opens this installation's program.
AnsiString OurShortcut(const AnsiString& installFolder)
{
    TRegistry registry(platform::RegKeyRead);
    registry.SetRootKey(platform::RegCurrentUser);
    if (!registry.OpenKeyReadOnly(ShellFoldersKey))
        return {};
    AnsiString desktop;
    try {
        desktop = registry.ReadString(DesktopValueName);
    } catch (const Exception&) {
        return {};
    }
    if (desktop.empty())
        return {};
    const AnsiString link = IncludeTrailingBackslash(desktop) + ShortcutName;
    if (!FileExists(link))
        return {};
    platform::TComApartment apartment;
    TShellLink shellLink(nullptr);
    shellLink.SetLinkFile(link);
    try {
        shellLink.Read();
    } catch (const Exception&) {
        return {};
    }
    return SameText(shellLink.ProgramFile(), installFolder + ProgramName) ? link : AnsiString();
}

int Depth(const AnsiString& path) { return int(std::count(path.begin(), path.end(), '\\')); }

// What an uninstallation never touches, wherever it lies: every data folder
// an installation named, the one the configuration names now, the default
// one, and the two configuration files.
struct TKept {
    std::vector<AnsiString> Folders;
    AnsiString MainConfig, CompanyConfig;

    TKept(const AnsiString& installFolder, const TInstallRecord& record)
        : Folders(record.DataFolders), MainConfig(installFolder + "CONFIG07.INI"),
          CompanyConfig(installFolder + "000\\CONFIG07.INI")
    {
        if (const AnsiString configured = ConfiguredDataFolder(installFolder); !configured.empty())
            Folders.push_back(configured);
        Folders.push_back(installFolder + "DATA07\\");
    }
    bool Holds(const AnsiString& path) const
    {
        return SameText(path, MainConfig) || SameText(path, CompanyConfig) ||
               std::any_of(Folders.begin(), Folders.end(), [&](const AnsiString& folder) {
                   return Inside(path, folder) || SameText(IncludeTrailingBackslash(path), folder);
               });
    }
    // The kept places that exist, one a line.
    AnsiString Where() const
    {
        AnsiString where;
        for (const AnsiString& folder : Folders)
            if (DirectoryExists(folder) && where.find(folder) == AnsiString::npos)
                where += "\r\n" + folder;
        for (const AnsiString& file : {MainConfig, CompanyConfig})
            if (FileExists(file))
                where += "\r\n" + file;
        return where;
    }
};

// The installation's folder and record: beside the uninstaller, else where
// the uninstall entry points. False when there is none.
bool FindInstallation(const AnsiString& uninstallerPath, AnsiString& installFolder, TInstallRecord& record)
{
    installFolder = ExtractFilePath(uninstallerPath);
    if (ReadInstallRecord(installFolder, record))
        return true;
    installFolder = RegisteredInstallFolder();
    if (installFolder.empty() || !ReadInstallRecord(IncludeTrailingBackslash(installFolder), record))
        return false;
    installFolder = IncludeTrailingBackslash(installFolder);
    return true;
}

// Removes the recorded files, our desktop shortcut and the recorded folders
// that are empty then; returns the record of the files that stayed.
TInstallRecord RemoveInstalled(const AnsiString& installFolder, const TInstallRecord& record, const TKept& kept,
                               TSetupLog& log)
{
    TInstallRecord left = record;
    left.Files.clear();
    for (const AnsiString& file : record.Files) {
        const AnsiString path = installFolder + file;
        if (kept.Holds(path) || !FileExists(path))
            continue;
        if (DeleteFile(path)) {
            log.Write(Translated(u"Verwijderd: ") + path);
        } else {
            log.Write(Format(Translated(u"Kan %s niet verwijderen: %s").c_str(), path.c_str(),
                             SysErrorMessage(GetLastOSError()).c_str()));
            left.Files.push_back(file);
        }
    }
    if (const AnsiString link = OurShortcut(installFolder); !link.empty() && DeleteFile(link))
        log.Write(Translated(u"Verwijderd: ") + link);

    std::vector<AnsiString> folders = record.Folders;
    std::stable_sort(folders.begin(), folders.end(),
                     [](const AnsiString& a, const AnsiString& b) { return Depth(a) > Depth(b); });
    for (const AnsiString& folder : folders)
        if (!kept.Holds(installFolder + folder) && platform::RemoveEmptyDirectory(installFolder + folder))
            log.Write(Translated(u"Verwijderd: ") + installFolder + folder);
    return left;
}

// A running program cannot be deleted, but it can be moved out of the way:
// into the temporary folder, gone there at the next start where the user
// may ask for that.
void RemoveUninstaller(const AnsiString& uninstallerPath, const AnsiString& installFolder)
{
    const AnsiString self = installFolder + UninstallerName;
    if (SameText(platform::FullPathName(uninstallerPath), self) && FileExists(self)) {
        const AnsiString parked = platform::TempFolder() + "KORVANT uninstall " +
                                  IntToStr(std::int64_t(platform::TickCountMs())) + ".exe";
        if (platform::RenameFile(self, parked))
            platform::DeleteAtRestart(parked);
        else
            platform::DeleteAtRestart(self);
    } else {
        DeleteFile(self);
    }
}

} // namespace

int RunUninstall(const AnsiString& uninstallerPath, TUninstallView& view, TSetupLog& log)
{
    auto end = [&](int code, const AnsiString& message, bool error) {
        log.Write(message);
        log.Write(Format(Translated(u"Einde met afsluitcode %d.").c_str(), code));
        // Whoever answered No needs no word that nothing happened.
        if (code != ExitCancelled)
            view.Tell(message, error);
        return code;
    };

    AnsiString installFolder;
    TInstallRecord record;
    if (!FindInstallation(uninstallerPath, installFolder, record))
        return end(ExitFailed, Translated(u"Er is hier geen installatie van KORVANT om te verwijderen."), true);
    ChooseLanguage(record.Language);
    log.Write("KORVANT /UNINSTALL: " + installFolder);
    const TKept kept(installFolder, record);

    if (!view.Confirm(Translated(u"Wilt u KORVANT van deze pc verwijderen?") + "\r\n\r\n" +
                      Translated(u"Uw gegevens en instellingen blijven bewaard.")))
        return end(ExitCancelled, Translated(u"KORVANT is niet verwijderd."), false);

    std::vector<AnsiString> programFiles = record.Files;
    programFiles.push_back(ProgramName);
    const AnsiString inUse = FirstFileInUse(installFolder, programFiles);
    if (!inUse.empty())
        return end(ExitInUse,
                   Format(Translated(u"KORVANT is in gebruik (%s). Sluit het programma en probeer opnieuw.").c_str(),
                          inUse.c_str()),
                   true);

    const TInstallRecord left = RemoveInstalled(installFolder, record, kept, log);
    if (!left.Files.empty()) {
        // What could not go stays on the list, so that a second run can
        // finish; the entry stays too, to start it from.
        WriteInstallRecord(installFolder, left);
        return end(ExitFailed, Translated(u"KORVANT is niet helemaal verwijderd; zie het logbestand: ") + log.Path(),
                   true);
    }
    RemoveUninstallEntry();
    DeleteFile(installFolder + InstallRecordName);
    RemoveUninstaller(uninstallerPath, installFolder);
    if (record.MadeInstallFolder)
        platform::RemoveEmptyDirectory(ExcludeTrailingBackslash(installFolder));
    return end(ExitDone,
               Translated(u"KORVANT is verwijderd.") + "\r\n\r\n" +
                   Translated(u"Uw gegevens en instellingen zijn bewaard:") + kept.Where(),
               false);
}
