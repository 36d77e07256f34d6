#include "RuntimeTestSupport.h"
#include "runtime/ShellLink.h"
#include "runtime/uComObj.h"
#include "runtime/uTypInfo.h"

#include "platform/uCom.h"

#include <gtest/gtest.h>

#include <thread>

using namespace runtime_test;

namespace {

class ShellLink : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FCom.Initialized()); }

private:
    platform::TComApartment FCom;
};

} // namespace

TEST(ShellLinkProperties, PublishedInDeclarationOrder)
{
    TShellLink link(nullptr);
    std::vector<std::pair<std::string, TPropKind>> props;
    for (const TPropInfo* p : GetPropList(link))
        props.emplace_back(p->Name, p->Kind);
    using K = TPropKind;
    EXPECT_EQ(props, (std::vector<std::pair<std::string, TPropKind>>{
                         {"Name", K::String},        {"Arguments", K::String},   {"Description", K::String},
                         {"IconFile", K::String},    {"IconIndex", K::Other},    {"HotKey", K::Other},
                         {"LinkFile", K::String},    {"ProgramFile", K::String}, {"WindowState", K::Other},
                         {"WorkingDirectory", K::String}}));
    EXPECT_EQ(link.WindowState(), TLinkWindowState::wsNormal);
    EXPECT_EQ(link.HotKey(), 0);
}

TEST_F(ShellLink, WritesEveryPropertyAndReadsItBack)
{
    AnsiString folder = FreshFolder("links");
    WriteBytes(folder + "prog.exe", "MZ");
    WriteBytes(folder + "icons.dll", "MZ");
    const char expectedShow[] = {1, 6, 3}; // SW_SHOWNORMAL, SW_MINIMIZE, SW_SHOWMAXIMIZED
    for (TLinkWindowState state :
         {TLinkWindowState::wsNormal, TLinkWindowState::wsMinimized, TLinkWindowState::wsMaximized}) {
        TShellLink link(nullptr);
        link.SetLinkFile(folder + "test.lnk");
        link.SetProgramFile(folder + "prog.exe");
        link.SetArguments("/action=Test \"with quotes\"");
        link.SetDescription("Korvant Fran\xE7" "ais");
        link.SetIconFile(folder + "icons.dll");
        link.SetIconIndex(3);
        link.SetHotKey(0x0348); // Ctrl+Shift+H
        link.SetWindowState(state);
        link.SetWorkingDirectory("C:\\Elders\\");
        link.Write();

        TShellLink back(nullptr);
        back.SetLinkFile(folder + "test.lnk");
        back.Read();
        EXPECT_EQ(back.ProgramFile(), folder + "prog.exe");
        EXPECT_EQ(back.Arguments(), "/action=Test \"with quotes\"");
        EXPECT_EQ(back.Description(), "Korvant Fran\xE7" "ais");
        EXPECT_EQ(back.IconFile(), folder + "icons.dll");
        EXPECT_EQ(back.IconIndex(), 3u);
        EXPECT_EQ(back.HotKey(), 0x0348);
        // Wine's shell link reports every stored show command as normal when
        // loading, so the state is checked in the file itself.
        std::string bytes = ReadBytes(folder + "test.lnk");
        ASSERT_GT(bytes.size(), 0x40u);
        EXPECT_EQ(bytes[0x3C], expectedShow[static_cast<int>(state)]);
        EXPECT_EQ(back.WorkingDirectory(), "C:\\Elders\\");
    }
}

// An empty working folder becomes the program's folder, and stays so.
TEST_F(ShellLink, EmptyWorkingDirectoryBecomesTheProgramsFolder)
{
    AnsiString folder = FreshFolder("links-workdir");
    TShellLink link(nullptr);
    link.SetLinkFile(folder + "a.lnk");
    link.SetProgramFile(folder + "Sub\\KORVANT07.EXE");
    link.Write();
    EXPECT_EQ(link.WorkingDirectory(), folder + "Sub\\");

    link.SetProgramFile("D:\\Other\\X.EXE");
    link.SetLinkFile(folder + "b.lnk");
    link.Write();
    TShellLink back(nullptr);
    back.SetLinkFile(folder + "b.lnk");
    back.Read();
    EXPECT_EQ(back.WorkingDirectory(), folder + "Sub\\");
}

TEST_F(ShellLink, FailuresAreReportedNotSwallowed)
{
    AnsiString folder = FreshFolder("links-fail");
    TShellLink link(nullptr);
    link.SetProgramFile(folder + "prog.exe");
    link.SetLinkFile(folder + "missing\\a.lnk");
    try {
        link.Write();
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file " + folder + "missing\\a.lnk");
    }

    link.SetDescription("kept");
    link.SetLinkFile(folder + "none.lnk");
    try {
        link.Read();
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file " + folder + "none.lnk");
    }
    EXPECT_EQ(link.Description(), "kept");
}

// A thread that never initialised COM gets the platform's reason.
TEST(ShellLinkWithoutCom, WriteRaisesThePlatformsError)
{
    std::string message;
    long code = 0;
    std::thread([&] {
        TShellLink link(nullptr);
        link.SetLinkFile("C:\\a.lnk");
        try {
            link.Write();
        } catch (const EOleSysError& e) {
            message = e.Message();
            code = e.ErrorCode();
        }
    }).join();
    EXPECT_EQ(static_cast<unsigned long>(code), 0x800401F0ul); // CO_E_NOTINITIALIZED
    EXPECT_FALSE(message.empty());
}
