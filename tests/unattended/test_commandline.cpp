// Setup.exe's command line: what each option sets, and every way a command
// line is refused (with its message, in the chosen language).
#include "setup/unattended/uCommandLine.h"
#include "translation/uTranslator.h"

#include <gtest/gtest.h>

namespace {

TCommandLine Parse(std::initializer_list<const char*> args)
{
    std::vector<AnsiString> list;
    for (const char* arg : args)
        list.emplace_back(arg);
    return ParseCommandLine(list);
}

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override { ChooseLanguage("nl"); }
    void TearDown() override { ChooseLanguage("nl"); }
};

TEST_F(CommandLine, NoArgumentsIsTheWizardWithItsDefaults)
{
    const TCommandLine c = Parse({});
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.Options.Mode, TSetupMode::Wizard);
}

TEST_F(CommandLine, EveryOptionInEitherCaseAndWithEitherLeader)
{
    const TCommandLine c = Parse({"-s", "/lang=FR", "-Drive=d:", "/variant=NL", "/Data=\\\\server\\share\\Korvant",
                                  "-existingdata", "/PROXY=proxy.example.be:3128", "/log=C:\\Logs\\setup.log"});
    ASSERT_TRUE(c.Ok()) << CommandLineFaultText(c);
    const TSetupOptions& o = c.Options;
    EXPECT_EQ(o.Mode, TSetupMode::Unattended);
    EXPECT_TRUE(o.Silent);
    EXPECT_EQ(o.Language, "fr");
    EXPECT_EQ(o.Drive, 'D');
    EXPECT_EQ(o.VariantIndex, 1);
    EXPECT_EQ(o.VariantCode, "nl");
    EXPECT_EQ(o.DataFolder, "\\\\server\\share\\Korvant");
    EXPECT_TRUE(o.ExistingData);
    EXPECT_TRUE(o.UseProxy);
    EXPECT_EQ(o.ProxyServer, "proxy.example.be");
    EXPECT_EQ(o.ProxyPort, 3128);
    EXPECT_EQ(o.LogPath, "C:\\Logs\\setup.log");
}

TEST_F(CommandLine, SilentAloneTakesTheWizardsDefaults)
{
    const TCommandLine c = Parse({"/S"});
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.Options.Language, "nl");
    EXPECT_EQ(c.Options.Drive, 'C');
    EXPECT_EQ(c.Options.VariantIndex, 0);
    EXPECT_EQ(c.Options.VariantCode, "benl");
    EXPECT_TRUE(c.Options.DataFolder.empty());
    EXPECT_FALSE(c.Options.ExistingData);
    EXPECT_FALSE(c.Options.UseProxy);
    EXPECT_TRUE(c.Options.LogPath.empty());
}

TEST_F(CommandLine, UsageUninstallAndTheirOptions)
{
    EXPECT_EQ(Parse({"/?"}).Options.Mode, TSetupMode::Usage);
    EXPECT_EQ(Parse({"-?"}).Options.Mode, TSetupMode::Usage);
    const TCommandLine quiet = Parse({"/uninstall", "/S", "/LOG=C:\\u.log"});
    ASSERT_TRUE(quiet.Ok());
    EXPECT_EQ(quiet.Options.Mode, TSetupMode::Uninstall);
    EXPECT_TRUE(quiet.Options.Silent);
    const TCommandLine other = Parse({"/UNINSTALL", "/DRIVE=D"});
    EXPECT_EQ(other.Fault, TCommandLineFault::UnknownOption);
    EXPECT_EQ(other.Option, "/DRIVE");
}

struct TRefusal {
    std::vector<const char*> Args;
    TCommandLineFault Fault;
    const char* Option;
};

TEST_F(CommandLine, RefusedCommandLinesNameTheirFault)
{
    const TRefusal cases[] = {
        {{"/S", "/QUIET"}, TCommandLineFault::UnknownOption, "/QUIET"},
        {{"/S", "C:\\KORVANT07"}, TCommandLineFault::UnknownOption, "C:\\KORVANT07"},
        {{"/S", "/"}, TCommandLineFault::UnknownOption, "/"},
        {{"/S", "/LANG=de"}, TCommandLineFault::BadValue, "/LANG"},
        {{"/S", "/LANG="}, TCommandLineFault::MissingValue, "/LANG"},
        {{"/S", "/LANG"}, TCommandLineFault::MissingValue, "/LANG"},
        {{"/S", "/DRIVE=CD"}, TCommandLineFault::BadValue, "/DRIVE"},
        {{"/S", "/DRIVE=1"}, TCommandLineFault::BadValue, "/DRIVE"},
        {{"/S", "/VARIANT=be"}, TCommandLineFault::BadValue, "/VARIANT"},
        {{"/S", "/DATA=DATA07"}, TCommandLineFault::BadValue, "/DATA"},
        {{"/S", "/DATA=C:DATA07"}, TCommandLineFault::BadValue, "/DATA"},
        {{"/S", "/DATA=C:\\a|b"}, TCommandLineFault::BadValue, "/DATA"},
        {{"/S", "/PROXY=proxy"}, TCommandLineFault::BadValue, "/PROXY"},
        {{"/S", "/PROXY=proxy:0"}, TCommandLineFault::BadValue, "/PROXY"},
        {{"/S", "/PROXY=proxy:65536"}, TCommandLineFault::BadValue, "/PROXY"},
        {{"/S", "/PROXY=:8080"}, TCommandLineFault::BadValue, "/PROXY"},
        {{"/S", "/PROXY=a b:8080"}, TCommandLineFault::BadValue, "/PROXY"},
        {{"/S", "/LOG=setup.log"}, TCommandLineFault::BadValue, "/LOG"},
        {{"/S", "/S"}, TCommandLineFault::Repeated, "/S"},
        {{"/S", "/lang=nl", "-LANG=fr"}, TCommandLineFault::Repeated, "-LANG"},
        {{"/S=1"}, TCommandLineFault::NoValueTaken, "/S"},
        {{"/S", "/EXISTINGDATA=yes"}, TCommandLineFault::NoValueTaken, "/EXISTINGDATA"},
        // Choices without /S: the wizard would ask for them all again.
        {{"/LANG=fr"}, TCommandLineFault::NeedsSilent, "/LANG"},
    };
    for (const TRefusal& refusal : cases) {
        const TCommandLine c = ParseCommandLine(std::vector<AnsiString>(refusal.Args.begin(), refusal.Args.end()));
        EXPECT_EQ(c.Fault, refusal.Fault) << refusal.Args.back();
        EXPECT_EQ(c.Option, refusal.Option) << refusal.Args.back();
    }
    // IPv6 proxies come in brackets.
    const TCommandLine v6 = Parse({"/S", "/PROXY=[::1]:8080"});
    ASSERT_TRUE(v6.Ok());
    EXPECT_EQ(v6.Options.ProxyServer, "[::1]");
    EXPECT_EQ(v6.Options.ProxyPort, 8080);
}

TEST_F(CommandLine, TheMessageNamesTheFaultThenShowsTheUsageInTheChosenLanguage)
{
    const TCommandLine dutch = Parse({"/S", "/DRIVE=CD"});
    const AnsiString text = CommandLineFaultText(dutch);
    EXPECT_EQ(text.substr(0, text.find('\r')), "Ongeldige waarde voor /DRIVE: CD");
    EXPECT_NE(text.find("/EXISTINGDATA"), AnsiString::npos);
    EXPECT_NE(text.find("6 geannuleerd."), AnsiString::npos);

    // The language and the log are read also after the fault: the message
    // goes where and how the command line asks.
    const TCommandLine french = Parse({"/S", "/FOO", "/BAR", "/LANG=fr", "/LOG=C:\\setup.log"});
    EXPECT_EQ(french.Options.LogPath, "C:\\setup.log");
    ChooseLanguage(french.Options.Language);
    const AnsiString frText = CommandLineFaultText(french);
    EXPECT_EQ(frText.substr(0, frText.find('\r')), "Option inconnue : /FOO");
    EXPECT_NE(frText.find("Codes de sortie"), AnsiString::npos);
}

} // namespace
