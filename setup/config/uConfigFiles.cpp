#include "uConfigFiles.h"

#include "runtime/uIniFiles.h"
#include "runtime/uSysUtils.h"

namespace {
AnsiString Quoted(const AnsiString& text)
{
    // The program reads its values with the quotes; the INI writer adds none.
    return "\"" + text + "\"";
}
} // namespace

void WriteMainConfig(const TSetupChoices& choices)
{
    TIniFile ini(IncludeTrailingBackslash(choices.InstallFolder) + MainConfigName);
    ini.WriteString("CONFIG", "DEFAULT_BEDRIJF", "000");
    ini.WriteString("BEDRIJVEN", "000", Quoted("STANDAARD"));
    ini.WriteString("000", "ID", Quoted("000"));
    ini.WriteString("000", "NAAM", Quoted("STANDAARD"));
    ini.WriteString("000", "BEDRIJF_DIRECTORY", Quoted(IncludeTrailingBackslash(choices.DataFolder)));
    ini.WriteBool("000", "USE_DBSERVER", false);
    ini.WriteString("000", "PC_DBSERVER", "");
    ini.WriteBool("000", "AFSTAND", false);
}

void WriteCompanyConfig(const TSetupChoices& choices)
{
    AnsiString installFolder = IncludeTrailingBackslash(choices.InstallFolder);
    // A folder that cannot be made shows as the write error of the file below.
    ForceDirectories(installFolder + CompanyFolderName);
    TIniFile ini(installFolder + CompanyConfigName);
    ini.WriteString("CONFIG", "KASKONTANT", choices.VariantIndex == DutchVariantIndex ? "01000" : "570000");
    ini.WriteBool("CONFIG", "BACKUP_AUTO", true);
    ini.WriteBool("CONFIG", "BACKUP_AUTO_CURRENT", true);
    ini.WriteInteger("CONFIG", "BACKUP_COMPRESSIE", 5);
    ini.WriteInteger("CONFIG", "MAIL_SERVER", 2);
    ini.WriteInteger("CONFIG", "MAIL_INDELING", 2);
    ini.WriteString("CONFIG", "TAAL", choices.Dutch ? "NL" : "FR");
}

void WriteConfiguration(const TSetupChoices& choices)
{
    WriteMainConfig(choices);
    WriteCompanyConfig(choices);
}
