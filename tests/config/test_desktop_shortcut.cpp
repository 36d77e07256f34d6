#include "ConfigTestSupport.h"
#include "setup/config/uDesktopShortcut.h"

#include "platform/uCom.h"
#include "platform/uShellApi.h"
#include "runtime/uException.h"
#include "runtime/uRegistry.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace config_test;

namespace {

// Runs each test against the real per-user shell folders key of the test
// prefix, and puts the "Desktop" value back as it was afterwards.
class DesktopShortcut : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FCom.Initialized());
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(ShellFoldersKey, true));
        if (reg.ValueExists(DesktopValueName))
            FSavedDesktop = reg.ReadString(DesktopValueName);
    }

    void TearDown() override
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(ShellFoldersKey, true));
        if (FSavedDesktop)
            reg.WriteString(DesktopValueName, *FSavedDesktop);
        else
            reg.DeleteValue(DesktopValueName);
    }

    static void SetDesktop(const AnsiString& folder)
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(ShellFoldersKey, false));
        reg.WriteString(DesktopValueName, folder);
    }

    // An install folder holding the program, as the wizard leaves it.
    static AnsiString InstallFolder(const AnsiString& caseFolder)
    {
        AnsiString install = caseFolder + "KORVANT07\\";
        WriteBytes(install + "KORVANT07.EXE", "MZ");
        return install;
    }

    // What the shortcut file says, read back through the shell.
    static std::unique_ptr<TShellLink> ReadBack(const AnsiString& linkFile)
    {
        auto link = std::make_unique<TShellLink>(nullptr);
        link->SetLinkFile(linkFile);
        link->Read();
        return link;
    }

    static void ExpectProgramShortcut(const AnsiString& linkFile, const AnsiString& install)
    {
        ASSERT_TRUE(Exists(linkFile)) << linkFile;
        TShellLink link(nullptr);
        link.SetLinkFile(linkFile);
        link.Read();
        EXPECT_EQ(link.ProgramFile(), install + "KORVANT07.EXE");
        EXPECT_EQ(link.WorkingDirectory(), install);
        EXPECT_EQ(link.Description(), "Korvant");
        EXPECT_EQ(link.Arguments(), "");
        EXPECT_EQ(link.HotKey(), 0);
        EXPECT_EQ(link.IconFile(), "");
        // Wine loads every show command as normal: look at the file header.
        std::string bytes = ReadBytes(linkFile);
        ASSERT_GT(bytes.size(), 0x40u);
        EXPECT_EQ(bytes[0x3C], 1) << "show command";
    }

private:
    platform::TComApartment FCom;
    std::optional<AnsiString> FSavedDesktop;
};

} // namespace

// The form's component starts with its designed values; the routine fills in
// the rest and the shortcut lands in the desktop folder, whether or not the
// registry value ends in a backslash. lnkinfo checks both files afterwards.
TEST_F(DesktopShortcut, LandsInTheDesktopFolderWithOrWithoutTrailingBackslash)
{
    for (const char* name : {"plain", "slash"}) {
        AnsiString desktop = FreshFolder(AnsiString("shortcuts\\") + name);
        AnsiString install = InstallFolder(FreshFolder(AnsiString("installs\\") + name));
        SetDesktop(name == AnsiString("plain") ? desktop.substr(0, desktop.size() - 1) : desktop);

        TShellLink shellLink(nullptr);
        CreateDesktopShortcut(shellLink, install);

        EXPECT_EQ(shellLink.LinkFile(), desktop + "Korvant.lnk") << name;
        EXPECT_EQ(shellLink.ProgramFile(), install + "KORVANT07.EXE");
        EXPECT_EQ(shellLink.WorkingDirectory(), install);
        ExpectProgramShortcut(desktop + "Korvant.lnk", install);
    }
}

TEST_F(DesktopShortcut, ReplacesAnExistingShortcut)
{
    AnsiString desktop = FreshFolder("shortcuts\\overwrite");
    AnsiString install = InstallFolder(FreshFolder("installs\\overwrite"));
    AnsiString old = InstallFolder(FreshFolder("installs\\old"));
    {
        TShellLink previous(nullptr);
        previous.SetLinkFile(desktop + "Korvant.lnk");
        previous.SetProgramFile(old + "KORVANT07.EXE");
        previous.SetArguments("/action=Oud");
        previous.SetDescription("Oude versie");
        previous.SetHotKey(0x0641); // Shift+A
        previous.SetIconFile(old + "KORVANT07.EXE");
        previous.SetIconIndex(2);
        previous.SetWindowState(TLinkWindowState::wsMaximized);
        previous.Write();
        ASSERT_EQ(ReadBack(desktop + "Korvant.lnk")->Arguments(), "/action=Oud");
    }
    SetDesktop(desktop);

    TShellLink shellLink(nullptr);
    CreateDesktopShortcut(shellLink, install);

    ExpectProgramShortcut(desktop + "Korvant.lnk", install);
}

// Without the legacy value the shell's own desktop folder is used, not the
// root of the current drive.
TEST_F(DesktopShortcut, MissingDesktopValueFallsBackToTheShellsDesktop)
{
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(ShellFoldersKey, false));
        reg.DeleteValue(DesktopValueName);
    }
    AnsiString install = InstallFolder(FreshFolder("installs\\missing"));
    AnsiString shellDesktop = platform::DesktopFolder();
    ASSERT_FALSE(shellDesktop.empty());
    AnsiString expected = shellDesktop + "\\Korvant.lnk";
    // The prefix's desktop may be a person's real one: never touch their shortcut.
    if (Exists(expected))
        GTEST_SKIP() << expected << " exists already";

    TShellLink shellLink(nullptr);
    CreateDesktopShortcut(shellLink, install);

    EXPECT_EQ(shellLink.LinkFile(), expected);
    ExpectProgramShortcut(expected, install);
    EXPECT_FALSE(Exists("\\Korvant.lnk"));
    std::filesystem::remove(std::filesystem::path(expected));
}

TEST_F(DesktopShortcut, DesktopValueOfAnotherTypeIsReportedAndNothingIsWritten)
{
    AnsiString install = InstallFolder(FreshFolder("installs\\wrongtype"));
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(ShellFoldersKey, false));
        reg.WriteInteger(DesktopValueName, 1);
    }
    TShellLink shellLink(nullptr);
    try {
        CreateDesktopShortcut(shellLink, install);
        FAIL() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Invalid data type for 'Desktop'");
    }
    EXPECT_EQ(shellLink.LinkFile(), "");
    EXPECT_EQ(shellLink.WorkingDirectory(), "");
}

// An expandable value is taken as stored: a plain path works, a variable is
// not expanded and the shortcut cannot be saved there, which is reported.
TEST_F(DesktopShortcut, ExpandableDesktopValueIsUsedAsStored)
{
    AnsiString desktop = FreshFolder("shortcuts\\expand");
    AnsiString install = InstallFolder(FreshFolder("installs\\expand"));
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(ShellFoldersKey, false));
        reg.WriteExpandString(DesktopValueName, desktop);
    }
    TShellLink shellLink(nullptr);
    CreateDesktopShortcut(shellLink, install);
    ExpectProgramShortcut(desktop + "Korvant.lnk", install);

    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(ShellFoldersKey, false));
        reg.WriteExpandString(DesktopValueName, "%KORVANT_NO_SUCH_VARIABLE%");
    }
    TShellLink unexpanded(nullptr);
    try {
        CreateDesktopShortcut(unexpanded, install);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file %KORVANT_NO_SUCH_VARIABLE%\\Korvant.lnk");
    }
}

// A desktop folder that does not exist must not end in a silent success.
TEST_F(DesktopShortcut, UnsavableShortcutIsReported)
{
    AnsiString gone = FreshFolder("shortcuts\\gone") + "WEG";
    AnsiString install = InstallFolder(FreshFolder("installs\\gone"));
    SetDesktop(gone);
    TShellLink shellLink(nullptr);
    try {
        CreateDesktopShortcut(shellLink, install);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file " + gone + "\\Korvant.lnk");
    }
    EXPECT_FALSE(Exists(gone));
}
