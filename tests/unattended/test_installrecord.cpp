// The list of installed files beside them: what it holds, and that an
// edited list never widens what the uninstaller removes.
#include "setup/install/uInstallRecord.h"

#include <gtest/gtest.h>

namespace {

TEST(InstallRecord, RoundTripsThroughItsText)
{
    TInstallRecord record;
    record.Language = "fr";
    record.MadeInstallFolder = true;
    record.AddDataFolder("D:\\Gegevens");
    record.AddDataFolder("D:\\GEGEVENS\\"); // the same folder
    record.AddFile("ZipEng179.dll");
    record.AddFile("HELP/LEESMIJ.TXT");
    record.AddFile("help\\leesmij.txt"); // the same file
    record.AddFolder("HELP\\");
    const AnsiString text = FormatInstallRecord(record);
    EXPECT_EQ(text, "; KORVANT: what Setup installed here. The uninstaller removes these files and no other.\r\n"
                    "language=fr\r\nmade-install-folder=1\r\ndata=D:\\Gegevens\\\r\nfolder=HELP\r\n"
                    "file=ZipEng179.dll\r\nfile=HELP\\LEESMIJ.TXT\r\n");
    const TInstallRecord back = ParseInstallRecord(text);
    EXPECT_EQ(back.Language, "fr");
    EXPECT_TRUE(back.MadeInstallFolder);
    EXPECT_EQ(back.DataFolders, record.DataFolders);
    EXPECT_EQ(back.Files, record.Files);
    EXPECT_EQ(back.Folders, record.Folders);
}

TEST(InstallRecord, PathsThatLeaveTheInstallFolderAreDropped)
{
    const TInstallRecord record = ParseInstallRecord("language=xx\n"
                                                     "file=..\\Windows\\win.ini\n"
                                                     "file=HELP\\..\\..\\boot.ini\n"
                                                     "file=C:\\DATA07\\GLOBAL\\WINKEL.DAT\n"
                                                     "file=\\DATA07\\WINKEL.DAT\n"
                                                     "file=HELP\\...\\x\n"
                                                     "file=HELP\\.. \\x\n"
                                                     "file=HELP\\\\x\n"
                                                     "file=a*b\n"
                                                     "folder=..\n"
                                                     "nonsense line\n"
                                                     "file=KORVANT07.EXE\n");
    EXPECT_EQ(record.Language, "nl");
    EXPECT_EQ(record.Files, std::vector<AnsiString>{"KORVANT07.EXE"});
    EXPECT_TRUE(record.Folders.empty());
    EXPECT_FALSE(record.MadeInstallFolder);
}

} // namespace
