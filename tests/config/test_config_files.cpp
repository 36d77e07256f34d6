#include "ConfigTestSupport.h"
#include "setup/config/uConfigFiles.h"

#include "runtime/uException.h"

#include <gtest/gtest.h>

using namespace config_test;

namespace {

TSetupChoices Choices(const AnsiString& installFolder, int variant, bool dutch)
{
    TSetupChoices c;
    c.InstallFolder = installFolder;
    c.DataFolder = installFolder + "DATA07\\";
    c.VariantIndex = variant;
    c.Dutch = dutch;
    return c;
}

std::string MainFile(const AnsiString& dataFolder)
{
    return "[CONFIG]\r\n"
           "DEFAULT_BEDRIJF=000\r\n"
           "[BEDRIJVEN]\r\n"
           "000=\"STANDAARD\"\r\n"
           "[000]\r\n"
           "ID=\"000\"\r\n"
           "NAAM=\"STANDAARD\"\r\n"
           "BEDRIJF_DIRECTORY=\"" + dataFolder + "\"\r\n"
           "USE_DBSERVER=0\r\n"
           "PC_DBSERVER=\r\n"
           "AFSTAND=0\r\n";
}

std::string CompanyFile(const char* cashAccount, const char* language)
{
    return std::string("[CONFIG]\r\n"
                       "KASKONTANT=") + cashAccount + "\r\n"
           "BACKUP_AUTO=1\r\n"
           "BACKUP_AUTO_CURRENT=1\r\n"
           "BACKUP_COMPRESSIE=5\r\n"
           "MAIL_SERVER=2\r\n"
           "MAIL_INDELING=2\r\n"
           "TAAL=" + language + "\r\n";
}

} // namespace

TEST(ConfigFiles, FirstInstallationWritesBothFilesByteForByte)
{
    AnsiString install = FreshFolder("fresh") + "KORVANT07\\";
    std::filesystem::create_directories(std::filesystem::path(install));
    TSetupChoices choices = Choices(install, 0, true);

    WriteConfiguration(choices);

    EXPECT_EQ(ReadBytes(install + "CONFIG07.INI"), MainFile(install + "DATA07\\"));
    EXPECT_EQ(ReadBytes(install + "000\\CONFIG07.INI"), CompanyFile("570000", "NL"));
}

TEST(ConfigFiles, DataFolderAlwaysStoredWithOneTrailingBackslash)
{
    AnsiString install = FreshFolder("backslash");
    for (const char* typed : {"D:\\Boekhouding\\DATA", "D:\\Boekhouding\\DATA\\"}) {
        TSetupChoices choices = Choices(install, 0, true);
        choices.DataFolder = typed;
        WriteMainConfig(choices);
        EXPECT_EQ(ReadBytes(install + "CONFIG07.INI"), MainFile("D:\\Boekhouding\\DATA\\")) << typed;
    }
}

// The cash account follows the variant's position in the list, the language
// the button on the first page; neither follows the other.
TEST(ConfigFiles, CashAccountFollowsVariantAndLanguageFollowsFirstPage)
{
    struct Case {
        int Variant;
        bool Dutch;
        const char* Cash;
        const char* Language;
    } cases[] = {
        {0, true, "570000", "NL"}, {1, true, "01000", "NL"},   {2, true, "570000", "NL"},
        {2, false, "570000", "FR"}, {1, false, "01000", "FR"}, {-1, false, "570000", "FR"},
    };
    AnsiString install = FreshFolder("variants");
    for (const Case& c : cases) {
        WriteCompanyConfig(Choices(install, c.Variant, c.Dutch));
        EXPECT_EQ(ReadBytes(install + "000\\CONFIG07.INI"), CompanyFile(c.Cash, c.Language))
            << "variant " << c.Variant << (c.Dutch ? " Dutch" : " French");
    }
}

// A second installation into the same folder replaces the values of all
// fifteen keys in place and keeps what the installed program added meanwhile.
TEST(ConfigFiles, ReinstallationReplacesItsKeysAndKeepsTheProgramsOwn)
{
    AnsiString install = FreshFolder("reinstall");
    WriteBytes(install + "CONFIG07.INI",
               "[CONFIG]\r\n"
               "DEFAULT_BEDRIJF=001\r\n"
               "LAATSTE_GEBRUIKER=JAN\r\n"
               "[BEDRIJVEN]\r\n"
               "000=\"OUD\"\r\n"
               "001=\"TWEEDE\"\r\n"
               "[000]\r\n"
               "ID=\"000\"\r\n"
               "NAAM=\"OUD\"\r\n"
               "BEDRIJF_DIRECTORY=\"E:\\OUD\\\"\r\n"
               "USE_DBSERVER=1\r\n"
               "PC_DBSERVER=SERVER1\r\n"
               "AFSTAND=1\r\n"
               "BOEKJAAR=2023\r\n"
               "[001]\r\n"
               "ID=\"001\"\r\n");
    WriteBytes(install + "000\\CONFIG07.INI",
               "[CONFIG]\r\n"
               "KASKONTANT=01000\r\n"
               "BACKUP_AUTO=0\r\n"
               "PRINTER=HP\r\n"
               "BACKUP_AUTO_CURRENT=0\r\n"
               "BACKUP_COMPRESSIE=9\r\n"
               "MAIL_SERVER=0\r\n"
               "MAIL_INDELING=1\r\n"
               "TAAL=NL\r\n"
               "[VENSTER]\r\n"
               "BREEDTE=800\r\n");

    WriteConfiguration(Choices(install, 2, false));

    EXPECT_EQ(ReadBytes(install + "CONFIG07.INI"),
              "[CONFIG]\r\n"
              "DEFAULT_BEDRIJF=000\r\n"
              "LAATSTE_GEBRUIKER=JAN\r\n"
              "[BEDRIJVEN]\r\n"
              "000=\"STANDAARD\"\r\n"
              "001=\"TWEEDE\"\r\n"
              "[000]\r\n"
              "ID=\"000\"\r\n"
              "NAAM=\"STANDAARD\"\r\n"
              "BEDRIJF_DIRECTORY=\"" + install + "DATA07\\\"\r\n"
              "USE_DBSERVER=0\r\n"
              "PC_DBSERVER=\r\n"
              "AFSTAND=0\r\n"
              "BOEKJAAR=2023\r\n"
              "[001]\r\n"
              "ID=\"001\"\r\n");
    EXPECT_EQ(ReadBytes(install + "000\\CONFIG07.INI"),
              "[CONFIG]\r\n"
              "KASKONTANT=570000\r\n"
              "BACKUP_AUTO=1\r\n"
              "PRINTER=HP\r\n"
              "BACKUP_AUTO_CURRENT=1\r\n"
              "BACKUP_COMPRESSIE=5\r\n"
              "MAIL_SERVER=2\r\n"
              "MAIL_INDELING=2\r\n"
              "TAAL=FR\r\n"
              "[VENSTER]\r\n"
              "BREEDTE=800\r\n");
}

TEST(ConfigFiles, UnwritableFilesReportTheirName)
{
    // No install folder at all: the first file cannot be created.
    AnsiString missing = FreshFolder("unwritable") + "NIET\\";
    try {
        WriteConfiguration(Choices(missing, 0, true));
        FAIL() << "no error";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + missing + "CONFIG07.INI");
    }
    EXPECT_FALSE(Exists(missing));

    // A file where the company folder belongs: the main file is written, the second is not.
    AnsiString install = FreshFolder("blocked");
    WriteBytes(install + "000", "in the way");
    try {
        WriteConfiguration(Choices(install, 0, true));
        FAIL() << "no error";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + install + "000\\CONFIG07.INI");
    }
    EXPECT_EQ(ReadBytes(install + "CONFIG07.INI"), MainFile(install + "DATA07\\"));
    EXPECT_EQ(ReadBytes(install + "000"), "in the way");
}
