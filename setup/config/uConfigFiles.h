#pragma once
// The two INI files the installed program reads: the main configuration in the
// install folder, which registers company "000" and where its data lie, and
// that company's own settings in the sub-folder "000".
#include "runtime/uText.h"

// What the wizard's pages decided, as the configuration needs it.
struct TSetupChoices {
    AnsiString InstallFolder; // "C:\KORVANT07\"
    AnsiString DataFolder;    // "C:\KORVANT07\DATA07\"
    // Selected item of the variant list: 0 Belgian (Flemish), 1 Dutch,
    // 2 Belgian (French); -1 when nothing is selected.
    int VariantIndex = -1;
    // The Dutch language button was checked on the first page.
    bool Dutch = true;
};

inline constexpr const char* MainConfigName = "CONFIG07.INI";
inline constexpr const char* CompanyFolderName = "000";
inline constexpr const char* CompanyConfigName = "000\\CONFIG07.INI";

// Index of the Dutch variant in the variant list; it books cash on another account.
inline constexpr int DutchVariantIndex = 1;

// Writes install folder + "CONFIG07.INI". Raises EIniFileException
// "Unable to write to <file>" when a value cannot be written.
void WriteMainConfig(const TSetupChoices& choices);
// Creates install folder + "000" and writes "000\CONFIG07.INI" there.
void WriteCompanyConfig(const TSetupChoices& choices);
// Both, main file first. Existing files keep every key not written here.
void WriteConfiguration(const TSetupChoices& choices);
