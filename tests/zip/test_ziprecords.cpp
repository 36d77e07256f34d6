// The record reader and the path check that the directory reader and the
// engine share.
#include "ziprecords/uZipPaths.h"
#include "ziprecords/uZipRecords.h"

#include <gtest/gtest.h>

#include <string>

using namespace ziprec;

namespace {

std::string UnicodePath(std::string_view stored, const std::string& utf8, std::uint32_t crc)
{
    std::string f;
    auto u16 = [&](unsigned v) { f += char(v & 0xFF), f += char(v >> 8 & 0xFF); };
    u16(kExtraUnicodePath);
    u16(static_cast<unsigned>(5 + utf8.size()));
    f += char(1);
    for (int i = 0; i < 4; ++i)
        f += char(crc >> (8 * i) & 0xFF);
    return f + utf8;
}

std::uint32_t Crc(std::string_view s) { return Crc32(0, s.data(), s.size()); }

} // namespace

TEST(ZipRecords, NameIsUtf8ByFlagOrByAUnicodePathFieldWhoseCrcMatches)
{
    EXPECT_EQ(Crc("123456789"), 0xCBF43926u); // the CRC-32 check value

    TEntryName plain = ResolveName("caf\x82.txt", 0, {});
    EXPECT_FALSE(plain.Utf8);
    EXPECT_EQ(plain.Bytes, "caf\x82.txt");

    TEntryName flagged = ResolveName("caf\xC3\xA9.txt", kFlagUtf8, {});
    EXPECT_TRUE(flagged.Utf8);
    EXPECT_EQ(flagged.Bytes, "caf\xC3\xA9.txt");

    // Another block before the field, as Info-ZIP writes its time stamps.
    std::string timeBlock("UT\x05\x00\x03\x01\x02\x03\x04", 9);
    std::string extra = timeBlock + UnicodePath("naive.txt", "na\xC3\xAFve.txt", Crc("naive.txt"));
    TEntryName viaField = ResolveName("naive.txt", 0, extra);
    EXPECT_TRUE(viaField.Utf8);
    EXPECT_EQ(viaField.Bytes, "na\xC3\xAFve.txt");

    // Renamed since by a tool that knew nothing of the field: ignored.
    TEntryName stale = ResolveName("stale.txt", 0, UnicodePath("other.txt", "wrong.txt", Crc("other.txt")));
    EXPECT_FALSE(stale.Utf8);
    EXPECT_EQ(stale.Bytes, "stale.txt");

    // A field that overruns the extra data, an unknown version, and a field
    // cut short: all ignored, never read past the end.
    std::string whole = UnicodePath("a", "b", Crc("a"));
    for (std::size_t n = 0; n < whole.size(); ++n)
        EXPECT_FALSE(ResolveName("a", 0, whole.substr(0, n)).Utf8) << n;
    std::string version2 = whole;
    version2[4] = 2;
    EXPECT_FALSE(ResolveName("a", 0, version2).Utf8);
    EXPECT_TRUE(ResolveName("a", 0, whole).Utf8);
}

TEST(ZipRecords, EndRecordIsFoundLastFirstAndHeadersNeedTheirSignatures)
{
    std::uint8_t rec[kEndSize] = {0x50, 0x4B, 0x05, 0x06, 0, 0, 0, 0, 2, 0, 2, 0, 92, 0, 0, 0, 10, 0, 0, 0, 3, 0};
    std::string window(reinterpret_cast<char*>(rec), kEndSize);
    window = "junk" + window + "abc" + window + "xyz";
    auto bytes = reinterpret_cast<const std::uint8_t*>(window.data());
    std::ptrdiff_t at = FindEndRecord(bytes, window.size());
    EXPECT_EQ(at, 4 + 22 + 3);
    TEndFields end;
    ASSERT_TRUE(ParseEndRecord(bytes + at, end));
    EXPECT_EQ(end.TotalEntries, 2);
    EXPECT_EQ(end.CentralSize, 92u);
    EXPECT_EQ(end.CentralOffset, 10u);
    EXPECT_EQ(end.CommentLength, 3);
    EXPECT_EQ(FindEndRecord(bytes, 21), -1);
    EXPECT_EQ(FindEndRecord(bytes, 0), -1);

    std::uint8_t header[kCentralSize] = {0x50, 0x4B, 0x01, 0x02};
    header[28] = 5, header[30] = 9, header[32] = 1, header[45] = 0x80;
    TCentralFields c;
    ASSERT_TRUE(ParseCentralHeader(header, c));
    EXPECT_EQ(c.VariableLength(), 15u);
    EXPECT_EQ(c.LocalOffset, 0x80000000u);
    header[3] = 9;
    EXPECT_FALSE(ParseCentralHeader(header, c));

    std::uint8_t local[kLocalSize] = {0x50, 0x4B, 0x03, 0x04};
    local[26] = 0xFF, local[27] = 0xFF, local[28] = 0xFF, local[29] = 0xFF;
    TLocalFields l;
    ASSERT_TRUE(ParseLocalHeader(local, l));
    EXPECT_EQ(l.DataOffset(), 30u + 65535u + 65535u);
    local[2] = 1;
    EXPECT_FALSE(ParseLocalHeader(local, l));
}

TEST(ZipPaths, NamesWindowsWouldMisreadAreRefusedInAnyPart)
{
    const char16_t* refused[] = {
        u"CON", u"con.txt", u"Con.tar.gz", u"PRN", u"aux.c", u"NUL", u"nul.", u"COM1", u"com9.log", u"LPT1",
        u"lpt9.x", u"COM\u00B9", u"con .txt", u"CONIN$", u"conout$.txt", u"dir/CON/file.txt", u"a\\aux\\b",
        u"trail.", u"blank ", u"dir./file", u"dir /file", u"...", u"a:b", u"file.txt:stream", u"C:/x",
        u"../up", u"a/../../up", u"/abs", u"\\abs", u"bell\a", u"", u"/", u"./", u"a/\x1F/b",
    };
    for (const char16_t* name : refused) {
        EXPECT_EQ(SafeRelativePath(name, true), u"") << std::u16string(name).size();
        EXPECT_EQ(SafeRelativePath(name, false), u"");
    }
    struct TCase {
        const char16_t* Name;
        const char16_t* Kept;
        const char16_t* Flat;
    } allowed[] = {
        {u"console.txt", u"console.txt", u"console.txt"},
        {u"com10.txt", u"com10.txt", u"com10.txt"},
        {u"COM0", u"COM0", u"COM0"},
        {u"lpt", u"lpt", u"lpt"},
        {u"auxiliary/nully", u"auxiliary\\nully", u"nully"},
        {u"a/./b//c.txt", u"a\\b\\c.txt", u"c.txt"},
        {u"dir/", u"dir", u"dir"},
        {u".hidden", u".hidden", u".hidden"},
        {u" lead", u" lead", u" lead"},
        {u"x\\y.txt", u"x\\y.txt", u"y.txt"},
        {u"caf\u00E9.txt", u"caf\u00E9.txt", u"caf\u00E9.txt"},
    };
    for (const TCase& c : allowed) {
        EXPECT_EQ(SafeRelativePath(c.Name, true), c.Kept);
        EXPECT_EQ(SafeRelativePath(c.Name, false), c.Flat);
    }
    EXPECT_TRUE(IsReservedDeviceName(u"lPt3.doc"));
    EXPECT_FALSE(IsReservedDeviceName(u"lpt10"));
}
