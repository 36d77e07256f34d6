#include "zip/uZipMsg.h"

#include <gtest/gtest.h>

#include <set>

using namespace zipmsg;

namespace {

std::set<int> PresentIds()
{
    std::set<int> ids;
    for (int id = 10000; id < 11700; ++id)
        if (LoadZipStr(id).rfind("Resource missing for ", 0) != 0)
            ids.insert(id);
    return ids;
}

} // namespace

TEST(ZipMessages, TableHoldsExactlyTheComponentsIds)
{
    std::set<int> expected{10096, 10097, 10098, 10150, 10151, 10154, 10155, 10156, 10159, 10306, 10307, 10308,
                           10401, 10402, 10501, 10502, 10504, 11101, 11102, 11201, 11350, 11351, 11500, 11501};
    auto range = [&](int from, int to) {
        for (int id = from; id <= to; ++id)
            expected.insert(id);
    };
    range(10101, 10113), range(10118, 10126), range(10140, 10144), range(10180, 10186), range(10201, 10206);
    range(10220, 10229), range(10301, 10304), range(10650, 10653), range(10801, 10809), range(10901, 10912);
    range(11001, 11051), range(11301, 11305), range(11307, 11313), range(11401, 11411), range(11450, 11457);
    range(11600, 11603);
    ASSERT_EQ(expected.size(), 189u);
    EXPECT_EQ(PresentIds(), expected);
    for (int id = 11401; id <= 11411; ++id)
        EXPECT_EQ(LoadZipStr(id)[0], '*') << id;
}

TEST(ZipMessages, ExtractionTextsAreExact)
{
    const std::pair<int, const char*> texts[] = {
        {10102, "Error - no zip file specified!"},
        {10103, "Requested memory not available"},
        {10106, "Exception in Event handler "},
        {10109, "not Active"},
        {10112, "Busy + %s"},
        {10118, "DLL Error - Aborting"},
        {10120, "DLL Error - User Cancelled"},
        {10121, "DLL Error - Not enough memory"},
        {10122, "DLL Error - Invalid structure"},
        {10123, "DLL Error - Exception in handler "},
        {10124, "critical DLL Error %d"},
        {10125, " Unknown error %d"},
        {10126, "Skipped %s %d"},
        {10151, "Error - no extract password given"},
        {10154, "Password"},
        {10155, "Enter Password "},
        {10201, "Seek error reading Zip archive!"},
        {10202, "Unknown error in List() function\r\n"},
        {10203, "Warning - Error in zip structure!"},
        {10204, "Warning - Garbage at the end of the zipfile!"},
        {10502, "Warning - Unattended Extract: possible not all files extracted"},
        {10504, "Extract directory '%s' must exist"},
        {10650, "Failed to load %s"},
        {10651, "Unable to load %s - It is old or corrupt"},
        {10652, "Loaded %s"},
        {10653, "Unloaded %s"},
        {11002, "Zip file could not be opened"},
        {11007, "User canceled operation"},
        {11013, "Error while reading a central header"},
        {11015, "A central header signature is wrong"},
        {11017, "Error while reading a central file name"},
        {11022, "Error while reading a file comment"},
        {11035, "\r\nin drive: %s"},
        {11036, "This archive is not a valid Zip archive"},
        {11051, "Cannot write to %s"},
        {11409, "*Loading Directory"},
        {10096, "US: default"},
    };
    for (auto& [id, text] : texts)
        EXPECT_EQ(LoadZipStr(id), text) << id;
    EXPECT_EQ(LoadZipStr(10099), "Resource missing for 10099");
    EXPECT_EQ(ZipFmtLoadStr(10650, "C:\\x\\ZipEng179.dll"), "Failed to load C:\\x\\ZipEng179.dll");
    EXPECT_EQ(ZipFmtLoadStr(11034, 2, 5), "Please insert disk volume 2 of 5");
    EZipArchive e = EZipArchive::Fmt(10504, "C:\\out\\");
    EXPECT_EQ(e.Message(), "Extract directory 'C:\\out\\' must exist");
    EXPECT_EQ(e.ResId(), 10504);
    EXPECT_TRUE(e.DisplayMsg());
}

TEST(ZipMessages, NoLanguageTableIsCarriedSoEverySelectionStaysEnglish)
{
    for (const char* value : {"NL", "FR", "*", "1043", " nl_BE", "US", "1033", "", "x"}) {
        EXPECT_EQ(SetZipMsgLanguage(value), "") << value;
        EXPECT_EQ(GetZipMsgLanguage(0), "US: default") << value;
        EXPECT_EQ(LoadZipStr(11036), "This archive is not a valid Zip archive") << value;
    }
}

TEST(ZipMessages, UnpacksTheLz77PackingAndRejectsBadStreams)
{
    // "ABCABCABCX": three literals, a back reference of 6 bytes to ring
    // position 4080 (where writing started), one literal.
    const std::uint8_t packed[] = {0x07 | 0x10, 'A', 'B', 'C', 0xF0, 0xF3, 'X'};
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(UnpackTable(packed, sizeof packed, sizeof packed, 10, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "ABCABCABCX");
    // Reference into the zero-filled ring before anything was written.
    const std::uint8_t zeros[] = {0x00, 0x00, 0x00};
    ASSERT_TRUE(UnpackTable(zeros, 3, 3, 3, out));
    EXPECT_EQ(out, std::vector<std::uint8_t>(3, 0));
    // Wrong unpacked size, truncated pair, oversized table.
    EXPECT_FALSE(UnpackTable(packed, sizeof packed, sizeof packed, 11, out));
    EXPECT_FALSE(UnpackTable(packed, sizeof packed, 5, 6, out));
    EXPECT_FALSE(UnpackTable(packed, sizeof packed, sizeof packed, 50000, out));
}

TEST(ZipMessages, FindsTextsInACompiledStringTable)
{
    // One resource entry: type 6, name 630 (ids 10064..10079), id 10079 only.
    std::vector<std::uint8_t> t;
    auto put16 = [&](unsigned v) { t.push_back(v & 0xFF), t.push_back(v >> 8 & 0xFF); };
    auto put32 = [&](unsigned v) { put16(v & 0xFFFF), put16(v >> 16); };
    const char16_t text[] = u"Hoi";
    unsigned dataSize = 15 * 2 + 2 + 3 * 2;
    put32(dataSize), put32(32);
    put16(0xFFFF), put16(6), put16(0xFFFF), put16(630);
    put32(0), put16(0x1030), put16(1043), put32(0), put32(0);
    for (int i = 0; i < 15; ++i)
        put16(0);
    put16(3);
    for (int i = 0; i < 3; ++i)
        put16(text[i]);
    WideString found;
    ASSERT_TRUE(FindInTable(t, 10079, found));
    EXPECT_EQ(found, u"Hoi");
    EXPECT_FALSE(FindInTable(t, 10078, found));
    EXPECT_FALSE(FindInTable(t, 10080, found));
    t.resize(t.size() - 3); // cut inside the text
    EXPECT_FALSE(FindInTable(t, 10079, found));
}

TEST(ZipMessages, DamagedStringTablesAreNotFoundAndNeverReadPastTheirEnd)
{
    auto put16 = [](std::vector<std::uint8_t>& t, unsigned v) { t.push_back(v & 0xFF), t.push_back(v >> 8 & 0xFF); };
    auto put32 = [&](std::vector<std::uint8_t>& t, unsigned v) { put16(t, v & 0xFFFF), put16(t, v >> 16); };
    // One entry of `name` whose data are `dataSize` bytes (texts of the
    // first ids of its block), padded to 4 unless `pad` is false.
    auto entry = [&](unsigned name, std::vector<std::uint16_t> data, bool pad) {
        std::vector<std::uint8_t> t;
        put32(t, static_cast<unsigned>(data.size() * 2)), put32(t, 32);
        put16(t, 0xFFFF), put16(t, 6), put16(t, 0xFFFF), put16(t, name);
        put32(t, 0), put16(t, 0x1030), put16(t, 1033), put32(t, 0), put32(t, 0);
        for (std::uint16_t v : data)
            put16(t, v);
        while (pad && t.size() % 4)
            t.push_back(0);
        return t;
    };
    // id 10080 is the first of block 631; "Hi" in it.
    std::vector<std::uint8_t> hit = entry(631, {2, u'H', u'i'}, true);
    WideString text;
    ASSERT_TRUE(FindInTable(hit, 10080, text));
    EXPECT_EQ(text, u"Hi");

    // An odd-sized entry whose padding is cut off ends the table: the next
    // position lies past its end.
    std::vector<std::uint8_t> odd = entry(630, {1, u'x', 0}, false);
    odd.push_back(0); // data of 6 bytes plus one: the padding would need one more
    const std::vector<std::uint8_t>& exact = odd;
    EXPECT_FALSE(FindInTable(exact, 10080, text));
    ASSERT_TRUE(FindInTable(exact, 10064, text)); // the entry itself is whole
    EXPECT_EQ(text, u"x");

    // Every prefix of a two-entry table: found only when whole.
    std::vector<std::uint8_t> two = entry(630, {1, u'a'}, true);
    std::vector<std::uint8_t> second = entry(631, {2, u'H', u'i'}, true);
    two.insert(two.end(), second.begin(), second.end());
    for (std::size_t n = 0; n <= two.size(); ++n) {
        std::vector<std::uint8_t> cut(two.begin(), two.begin() + static_cast<std::ptrdiff_t>(n));
        bool found = FindInTable(cut, 10080, text);
        EXPECT_EQ(found, n >= two.size() - 2) << n; // the last two bytes are padding
    }

    // Crafted sizes: a header size below the minimum, past the end, a data
    // size past the end, a name string without its terminator.
    std::vector<std::uint8_t> bad = hit;
    bad[4] = 8;
    EXPECT_FALSE(FindInTable(bad, 10080, text));
    bad = hit;
    bad[7] = 0x7F;
    EXPECT_FALSE(FindInTable(bad, 10080, text));
    bad = hit;
    bad[3] = 0x7F;
    EXPECT_FALSE(FindInTable(bad, 10080, text));
    bad = hit;
    for (std::size_t k = 8; k < 32; k += 2)
        bad[k] = 'A', bad[k + 1] = 0;
    EXPECT_FALSE(FindInTable(bad, 10080, text));
    // A text longer than its entry.
    std::vector<std::uint8_t> longText = entry(631, {40, u'H', u'i'}, true);
    EXPECT_FALSE(FindInTable(longText, 10080, text));
}
