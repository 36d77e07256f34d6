// The directory reader on archives built in memory.
#include "zip/uZipDir.h"
#include "zip/uZipMsg.h"
#include "ziprecords/uZipRecords.h"

#include <gtest/gtest.h>

namespace {

struct TBuilder {
    std::string Bytes;
    void U16(unsigned v) { Bytes += char(v & 0xFF), Bytes += char(v >> 8 & 0xFF); }
    void U32(unsigned v) { U16(v & 0xFFFF), U16(v >> 16); }
    void Central(const std::string& name, unsigned madeBy = 0x031E, unsigned local = 0, unsigned flags = 0,
                 const std::string& extra = {}, const std::string& comment = {})
    {
        U32(kSigCentralHeader);
        U16(madeBy), U16(20), U16(flags), U16(0), U16(0), U16(0);
        U32(0), U32(0), U32(0);
        U16(static_cast<unsigned>(name.size())), U16(static_cast<unsigned>(extra.size()));
        U16(static_cast<unsigned>(comment.size())), U16(0), U16(0);
        U32(0), U32(local);
        Bytes += name + extra + comment;
    }
    void End(unsigned count, unsigned size, unsigned offset, const std::string& comment = {})
    {
        U32(kSigEndOfCentral);
        U16(0), U16(0), U16(count), U16(count);
        U32(size), U32(offset);
        U16(static_cast<unsigned>(comment.size()));
        Bytes += comment;
    }
};

// Streams are objects with identity, never copied: this one is born full.
struct TBytesStream : TMemoryStream {
    explicit TBytesStream(const std::string& bytes) { Write(bytes.data(), static_cast<std::int64_t>(bytes.size())); }
};

TEndRecord Find(const std::string& bytes)
{
    TBytesStream s(bytes);
    return FindEndRecord(s, s.Size());
}

} // namespace

TEST(ZipDirectory, FindsTheEndRecordAtTheEndOrByBackwardScan)
{
    TBuilder empty;
    empty.End(0, 0, 0);
    TEndRecord r = Find(empty.Bytes);
    ASSERT_TRUE(r.Found);
    EXPECT_EQ(r.Offset, 0);
    EXPECT_EQ(r.TotalEntries, 0);

    // Two end records: the later one wins.
    TBuilder two;
    two.Bytes = std::string(100, 'x');
    two.End(1, 0, 0, "first");
    two.End(2, 0, 0, "second comment");
    r = Find(two.Bytes);
    ASSERT_TRUE(r.Found);
    EXPECT_EQ(r.TotalEntries, 2);
    EXPECT_EQ(r.Comment, "second comment");
    EXPECT_FALSE(r.GarbageAtEnd);

    EXPECT_FALSE(Find("").Found);
    EXPECT_FALSE(Find(std::string(22, 'a')).Found);
    EXPECT_FALSE(Find("PK\x05\x06 too short").Found);
}

TEST(ZipDirectory, TellsPaddingFromGarbageAfterTheComment)
{
    TBuilder a;
    a.End(0, 0, 0, std::string(200, 'c'));
    EXPECT_FALSE(Find(a.Bytes + std::string(100, '\0')).GarbageAtEnd);
    EXPECT_TRUE(Find(a.Bytes + "abc").GarbageAtEnd);
    EXPECT_TRUE(Find(a.Bytes + std::string(512, '\0')).GarbageAtEnd);
    TEndRecord r = Find(a.Bytes + "abc");
    EXPECT_EQ(r.EffectiveSize, static_cast<std::int64_t>(a.Bytes.size()));
}

TEST(ZipDirectory, ReadsEntriesConvertsNamesAndDropsFolders)
{
    TBuilder b;
    b.Central("dir/");
    b.Central("dir/sub/file.txt");
    b.Central("\x81" "ber.txt", 0x0014); // made on MS-DOS: OEM code page
    unsigned size = static_cast<unsigned>(b.Bytes.size());
    b.End(3, size, 0);
    TBytesStream s(b.Bytes);
    TEndRecord end = FindEndRecord(s, s.Size());
    std::vector<int> seq;
    TCentralReadEvents events;
    events.NewName = [&](int n, const ZipDirEntry&) { seq.push_back(n); };
    TCentralDirectory dir;
    ReadCentralDirectory(s, end, TZipCodePage::cpAuto, false, events, dir);
    ASSERT_EQ(dir.Entries.size(), 2u);
    EXPECT_EQ(dir.Entries[0]->FileName, "dir\\sub\\file.txt");
    EXPECT_EQ(dir.Entries[1]->FileName, "\xFC" "ber.txt"); // u-umlaut in CP 1252
    EXPECT_EQ(dir.Dropped, 1);
    EXPECT_EQ(seq, (std::vector<int>{2, 3}));
    EXPECT_FALSE(dir.StructureWarning);

    // Kept with UseDirOnlyEntries; cpNone keeps DOS names as stored.
    TCentralDirectory all;
    s.SetPosition(0);
    ReadCentralDirectory(s, end, TZipCodePage::cpNone, true, {}, all);
    ASSERT_EQ(all.Entries.size(), 3u);
    EXPECT_EQ(all.Entries[0]->FileName, "dir\\");
    EXPECT_EQ(all.Entries[2]->FileName, "\x81" "ber.txt");
    // HPFS names are converted even with cpNone.
    EXPECT_EQ(ConvertZipText("\x81", 6, 20, TZipCodePage::cpNone, true), "\xFC");
}

TEST(ZipDirectory, DamageRaisesTheComponentsErrors)
{
    auto readError = [](const std::string& bytes, bool& warned) {
        TBytesStream s(bytes);
        TEndRecord end = FindEndRecord(s, s.Size());
        TCentralDirectory dir;
        TCentralReadEvents events;
        events.Warning = [&](int id) { warned = id == 10203; };
        try {
            ReadCentralDirectory(s, end, TZipCodePage::cpAuto, false, events, dir);
        } catch (const EZipArchive& e) {
            return e.ResId();
        }
        return 0;
    };
    bool warned = false;
    TBuilder good;
    good.Central("a.txt");
    unsigned size = static_cast<unsigned>(good.Bytes.size());

    TBuilder wrongOffset = good;
    wrongOffset.End(1, size, 99);
    EXPECT_EQ(readError(wrongOffset.Bytes, warned), 0);
    EXPECT_TRUE(warned);

    TBuilder badSig = good;
    badSig.Bytes[3] = 9;
    badSig.End(1, size, 0);
    EXPECT_EQ(readError(badSig.Bytes, warned), 11015);

    TBuilder tooMany = good;
    tooMany.End(2, size, 0); // the second header would be read from the end record
    EXPECT_EQ(readError(tooMany.Bytes, warned), 11013);

    TBuilder shortName;
    shortName.Central("abc");
    shortName.Bytes.resize(shortName.Bytes.size() - 3);
    std::string cut = shortName.Bytes;
    TBuilder end;
    end.End(1, static_cast<unsigned>(cut.size()) + 3, 0);
    EXPECT_NE(readError(cut + end.Bytes, warned), 0);

    TBuilder spanned = good;
    spanned.Bytes = "PK\x07\x08PK\x03\x04" + spanned.Bytes;
    spanned.End(1, size, 8);
    EXPECT_EQ(readError(spanned.Bytes, warned), 11050);

    TBuilder zip64 = good;
    zip64.End(0xFFFF, size, 0);
    EXPECT_EQ(readError(zip64.Bytes, warned), 11049);
}

TEST(ZipDirectory, NamesAreTheOnesTheEngineExtracts)
{
    // UTF-8 by the header's mark, by a Unicode Path field that vouches for
    // the stored name, and a field left over from before a rename.
    auto unicodePath = [](const std::string& stored, const std::string& utf8) {
        std::uint32_t crc = ziprec::Crc32(0, stored.data(), stored.size());
        TBuilder f;
        f.U16(0x7075), f.U16(static_cast<unsigned>(5 + utf8.size()));
        f.Bytes += char(1);
        f.U32(crc);
        return f.Bytes + utf8;
    };
    TBuilder b;
    b.Central("dir/caf\xC3\xA9.txt", 0x031E, 0, 0x0800, {}, "r\xC3\xA9sum\xC3\xA9");
    b.Central("naive.txt", 0x0014, 0, 0, unicodePath("naive.txt", "na\xC3\xAFve.txt"));
    b.Central("stale.txt", 0x031E, 0, 0, unicodePath("other.txt", "wrong.txt"));
    b.Central("\x82t\x82.txt", 0x0014); // DOS, no mark: OEM code page
    unsigned size = static_cast<unsigned>(b.Bytes.size());
    b.End(4, size, 0);
    TBytesStream s(b.Bytes);
    TEndRecord end = FindEndRecord(s, s.Size());
    TCentralDirectory dir;
    ReadCentralDirectory(s, end, TZipCodePage::cpAuto, false, {}, dir);
    ASSERT_EQ(dir.Entries.size(), 4u);
    EXPECT_EQ(dir.Entries[0]->FileName, "dir\\caf\xE9.txt"); // CP 1252
    EXPECT_EQ(dir.Entries[0]->FileComment, "r\xE9sum\xE9");
    EXPECT_EQ(dir.Entries[1]->FileName, "na\xEFve.txt");
    EXPECT_EQ(dir.Entries[1]->FileNameLength, 9); // the header as stored
    EXPECT_EQ(dir.Entries[2]->FileName, "stale.txt");
    EXPECT_EQ(dir.Entries[3]->FileName, "\xE9t\xE9.txt");
}
