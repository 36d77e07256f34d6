#pragma once
// What an installation put into its install folder, kept beside the files
// (UNINSTALL.LST), and its entry in Apps & features: what the uninstaller
// removes, and nothing else.
#include "runtime/uText.h"

#include <cstdint>
#include <vector>

inline constexpr const char* InstallRecordName = "UNINSTALL.LST";
inline constexpr const char* UninstallerName = "UNINSTALL.EXE";
inline constexpr const char* UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KORVANT07";

struct TInstallRecord {
    // "nl" or "fr": the language of the installation and of its uninstaller.
    AnsiString Language = "nl";
    // Every data folder an installation pointed the program at (with a
    // trailing backslash): never touched by the uninstaller.
    std::vector<AnsiString> DataFolders;
    // Paths relative to the install folder, "\" separated.
    std::vector<AnsiString> Files;
    // Folders the archives hold, relative as the files: removed when empty.
    std::vector<AnsiString> Folders;
    // The install folder was made by an installation.
    bool MadeInstallFolder = false;

    // Adds what is not there yet, keeping the order.
    void AddFile(const AnsiString& relative);
    void AddFolder(const AnsiString& relative);
    void AddDataFolder(const AnsiString& folder);
};

// The list's text and back. Lines that are not understood, and paths that
// could leave the install folder ("..", a drive, a leading backslash), are
// dropped on reading: an edited list never widens what is removed.
AnsiString FormatInstallRecord(const TInstallRecord& record);
TInstallRecord ParseInstallRecord(const AnsiString& text);
bool IsInstallRelativePath(const AnsiString& path);

// Reads the list of the folder; false when it has none.
bool ReadInstallRecord(const AnsiString& installFolder, TInstallRecord& record);
// Writes it beside a temporary name first, then over the old list.
void WriteInstallRecord(const AnsiString& installFolder, const TInstallRecord& record);

// "7.0.1.0" from the program's version resource, else the "version" line of
// the upgrade's VERSION.TXT, else empty.
AnsiString InstalledVersion(const AnsiString& installFolder);
// KiB of the recorded files that exist, the uninstaller among them.
std::uint32_t InstalledSizeKiB(const AnsiString& installFolder, const TInstallRecord& record);

// Copies the running program into the install folder as the uninstaller,
// writes the list and the per-user uninstall entry (replacing an earlier one).
// Raises when the uninstaller or the entry cannot be written.
void RegisterInstallation(const AnsiString& installFolder, TInstallRecord& record, const AnsiString& uninstallerSource);
// Removes the entry; true when it is gone.
bool RemoveUninstallEntry();
// The InstallLocation of the entry; empty when there is none.
AnsiString RegisteredInstallFolder();
