// Room on the drive and the files an archive would replace, without a window.
#include "setup/install/uInstallChecks.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(InstallChecks, TheDriveTheMegabytesAndTheMargin)
{
    EXPECT_EQ(DriveOf("d:\\KORVANT07\\"), "D:");
    EXPECT_EQ(DriveOf("\\\\server\\boeken\\DATA07"), "\\\\server\\boeken");
    EXPECT_EQ(DriveOf("\\\\server"), "\\\\server");

    AnsiString asked;
    auto fourMB = [&](const AnsiString& folder) -> std::optional<std::uint64_t> {
        asked = folder;
        return 4 * BytesPerMB + 999;
    };
    TSpaceCheck small = CheckFreeSpace("D:\\KORVANT07\\", 1, fourMB);
    EXPECT_EQ(asked, "D:\\KORVANT07\\");
    EXPECT_EQ(small.Drive, "D:");
    EXPECT_FALSE(small.Enough()) << "one byte still needs the margin";
    EXPECT_EQ(small.Needed, FreeSpaceMarginBytes + 1);
    EXPECT_EQ(small.NeededMB(), FreeSpaceMarginBytes / BytesPerMB + 1) << "needed rounds up";
    EXPECT_EQ(small.FreeMB(), 4u) << "free rounds down";

    auto plenty = [](const AnsiString&) -> std::optional<std::uint64_t> { return FreeSpaceMarginBytes + 100; };
    EXPECT_TRUE(CheckFreeSpace("C:\\", 100, plenty).Enough());
    EXPECT_FALSE(CheckFreeSpace("C:\\", 101, plenty).Enough());
    auto unknown = [](const AnsiString&) -> std::optional<std::uint64_t> { return std::nullopt; };
    EXPECT_TRUE(CheckFreeSpace("C:\\", 1ull << 50, unknown).Enough()) << "a drive that cannot tell is not refused";
}

TEST(InstallChecks, AnUnpackNeedsWhatItAddsBeyondTheFilesItReplaces)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string base = std::string(temp) + "plan-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(base.c_str(), nullptr);
    CreateDirectoryA((base + "HELP").c_str(), nullptr);
    std::ofstream(base + "VERSION.TXT", std::ios::binary) << std::string(30, 'v');
    std::ofstream(base + "HELP\\BIG.DAT", std::ios::binary) << std::string(500, 'b');

    TUnpackPlan plan = PlanUnpack({{"VERSION.TXT", 100},        // grows by 70
                                   {"HELP\\BIG.DAT", 200},      // shrinks: nothing more
                                   {"HELP/NEW.TXT", 1000},      // new
                                   {"..\\ESCAPE.TXT", 99999}},  // never written
                                  base.substr(0, base.size() - 1));
    EXPECT_EQ(plan.Bytes, 1070u);
    EXPECT_EQ(plan.Targets, (std::vector<AnsiString>{base + "VERSION.TXT", base + "HELP\\BIG.DAT", base + "HELP\\NEW.TXT"}));
    EXPECT_EQ(plan.Existing, (std::vector<AnsiString>{base + "VERSION.TXT", base + "HELP\\BIG.DAT"}));

    DeleteFileA((base + "VERSION.TXT").c_str());
    DeleteFileA((base + "HELP\\BIG.DAT").c_str());
    RemoveDirectoryA((base + "HELP").c_str());
    RemoveDirectoryA(base.c_str());
}

} // namespace
