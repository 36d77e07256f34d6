#include "RuntimeTestSupport.h"
#include "runtime/uIniFiles.h"

#include <gtest/gtest.h>

using namespace runtime_test;

TEST(IniFile, WritesTypedValuesAndReadsThemBack)
{
    AnsiString file = FreshFolder("ini") + "test.ini";
    {
        TIniFile ini(file);
        ini.WriteString("Main", "Name", "\"quoted\" value");
        ini.WriteInteger("Main", "Negative", -42);
        ini.WriteBool("Main", "Yes", true);
        ini.WriteBool("Main", "No", false);
        ini.WriteString("Main", "Empty", "");
        ini.WriteString("Other", "Hex", "0x1F");
        ini.WriteString("Other", "Junk", "12abc");

        EXPECT_EQ(ini.ReadInteger("Main", "Negative", 0), -42);
        EXPECT_TRUE(ini.ReadBool("Main", "Yes", false));
        EXPECT_FALSE(ini.ReadBool("Main", "No", true));
        EXPECT_EQ(ini.ReadInteger("Other", "Hex", 0), 31);
        EXPECT_EQ(ini.ReadInteger("Other", "Junk", 7), 7);
        EXPECT_EQ(ini.ReadString("Main", "Missing", "default"), "default");
        EXPECT_TRUE(ini.ValueExists("main", "EMPTY"));
        EXPECT_FALSE(ini.ValueExists("Main", "Missing"));
        EXPECT_TRUE(ini.SectionExists("OTHER"));
        EXPECT_FALSE(ini.SectionExists("Third"));

        ini.DeleteKey("Other", "Junk");
        ini.EraseSection("Nothing"); // erasing what is not there is no error
    }
    // Released: everything is on disk, with no quoting added by the writer.
    EXPECT_EQ(ReadBytes(file), "[Main]\r\n"
                               "Name=\"quoted\" value\r\n"
                               "Negative=-42\r\n"
                               "Yes=1\r\n"
                               "No=0\r\n"
                               "Empty=\r\n"
                               "[Other]\r\n"
                               "Hex=0x1F\r\n");
}

// A line break would let a value smuggle keys or sections of its own into
// the file; such a write is refused and the file keeps what it had.
TEST(IniFile, RefusesLineBreaksInsteadOfCorruptingTheFile)
{
    AnsiString file = FreshFolder("ini-breaks") + "test.ini";
    TIniFile ini(file);
    ini.WriteString("Main", "Folder", "C:\\DATA\\");
    for (auto write : {+[](TIniFile& i) { i.WriteString("Main", "Folder", "C:\\X\r\n[Evil]\r\nKey=1"); },
                       +[](TIniFile& i) { i.WriteString("Main", "Bad\nKey", "1"); },
                       +[](TIniFile& i) { i.WriteString("Ma\rin", "Key", "1"); }}) {
        try {
            write(ini);
            FAIL() << "no error";
        } catch (const EIniFileException& e) {
            EXPECT_EQ(e.Message(), "Unable to write to " + file);
        }
    }
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes(file), "[Main]\r\nFolder=C:\\DATA\\\r\n");
}

TEST(IniFile, UnwritableFileRaisesWithItsName)
{
    AnsiString file = FreshFolder("ini-missing") + "no\\such\\folder\\test.ini";
    TIniFile ini(file);
    try {
        ini.WriteBool("A", "B", true);
        FAIL() << "no error";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + file);
        EXPECT_EQ(e.ClassName(), "EIniFileException");
    }
}
