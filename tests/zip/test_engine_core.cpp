// The engine core on archives made by Info-ZIP zip, extracting through its
// POSIX host into scratch folders, and on hostile archives held in memory.
#include "engineTestKit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace zipeng;
using namespace enginetest;
using ::testing::HasSubstr;

TEST(EngineCore, ExtractsInfoZipArchivesByteForByte)
{
    std::map<std::string, std::string> expected = Tree(Data() / "originals");
    for (auto it = expected.begin(); it != expected.end();)
        it = it->first.rfind("top/", 0) == 0 ? std::next(it) : expected.erase(it);
    ASSERT_EQ(expected.size(), 5u);
    for (const char* name : {"main.zip", "streamed.zip", "crccheck.zip"}) {
        SCOPED_TRACE(name);
        fs::path dir = Scratch(std::string("exact-") + name);
        // An older file is replaced, and nothing temporary stays.
        fs::create_directories(dir / "top");
        std::ofstream(dir / "top" / "readme.txt") << "old contents that must be replaced, longer than the new ones";
        TRun run;
        EXPECT_EQ(run.Go(name, dir), 5);
        EXPECT_EQ(Tree(dir), expected);
        if (std::string(name) != "streamed.zip") { // made from "top" alone
            EXPECT_TRUE(fs::is_directory(dir / "emptydir"));
        }
        EXPECT_TRUE(run.Messages.empty()) << run.Messages.front().second;
        EXPECT_EQ(run.Actions.front(), acAbortHandle);
        EXPECT_EQ(run.Actions.back(), acEndBatch);
    }

    // The stored time stamp (local time), not the time of extraction.
    std::vector<std::uint8_t> plain = Bytes(Data() / "plain.zip");
    TLayout l = Layout(plain);
    Put16(plain, l.Headers[0] + 12, 4 << 11 | 5 << 5 | 3);   // 04:05:06
    Put16(plain, l.Headers[0] + 14, 21 << 9 | 2 << 5 | 3);   // 2001-02-03
    fs::path stamped = Scratch("stamped");
    TRun run;
    EXPECT_EQ(run.GoMemory(plain, stamped), 3);
    std::tm t{};
    t.tm_year = 101, t.tm_mon = 1, t.tm_mday = 3, t.tm_hour = 4, t.tm_min = 5, t.tm_sec = 6, t.tm_isdst = -1;
    struct stat st;
    ASSERT_EQ(::stat((stamped / "top" / "readme.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, std::mktime(&t));

    // Testing writes nothing; flat extraction drops the folders.
    fs::path test = Scratch("test-only");
    TRun check;
    check.Test = true;
    EXPECT_EQ(check.Go("main.zip", test), 5);
    EXPECT_TRUE(fs::is_empty(test));
    fs::path flat = Scratch("flat");
    TRun flatRun;
    flatRun.DirNames = false;
    flatRun.Patterns = {"TOP/MID/*"};
    EXPECT_EQ(flatRun.Go("main.zip", flat), 3);
    EXPECT_EQ(ReadAll(flat / "leaf.txt"), "deep file\n");
    EXPECT_FALSE(fs::exists(flat / "readme.txt"));
}

TEST(EngineCore, PasswordsAreCheckedAskedForAndRefused)
{
    fs::path dir = Scratch("password");
    TRun wrong;
    wrong.Password = "wrong";
    wrong.PwdReqCount = 0;
    // The format's only password check is one byte, and the archives are
    // made afresh each run with random headers: about one entry in 256 passes
    // it with a wrong password. Such an entry then fails as damaged data (or
    // CRC), or, when empty, opens with nothing in it. Nothing with content may
    // ever come out, and the others are refused for the password.
    const int opened = wrong.Go("main.zip", dir);
    const std::set<int> allowed{eeBadPassword, eeBadCRC, eeBadData};
    for (int code : wrong.Codes())
        EXPECT_TRUE(allowed.count(code)) << "unexpected error code " << code;
    EXPECT_TRUE(wrong.Codes().count(eeBadPassword));
    EXPECT_TRUE(std::any_of(wrong.Messages.begin(), wrong.Messages.end(), [](const auto& m) {
        return m.second.find("Wrong password for top/") != std::string::npos;
    }));
    const auto extracted = Tree(dir);
    EXPECT_EQ(opened, static_cast<int>(extracted.size()));
    for (const auto& [name, bytes] : extracted)
        EXPECT_TRUE(bytes.empty()) << name << " came out with a wrong password";

    // Asked twice with a wrong guess, then the right one, kept for the rest.
    TRun asked;
    asked.Password = "";
    asked.PwdReqCount = 3;
    std::vector<int> repeats;
    asked.OnPassword = [&](TCallbackRec& rec) {
        repeats.push_back(rec.Arg);
        const char* answer = repeats.size() < 3 ? "guess" : "mirabel ";
        std::memset(rec.Reply, 0, sizeof rec.Reply);
        std::strcpy(rec.Reply, answer);
        rec.Action = kReplyAccept;
    };
    EXPECT_EQ(asked.Go("main.zip", Scratch("asked")), 5);
    EXPECT_EQ(repeats, (std::vector<int>{3, 2, 1}));
}

TEST(EngineCore, DamagedEntriesAreReportedAndTheRestArrives)
{
    TRun crc;
    fs::path dir = Scratch("crc");
    fs::create_directories(dir / "top" / "mid" / "deep");
    std::ofstream(dir / "top" / "mid" / "deep" / "blob.png") << "previous good version";
    EXPECT_EQ(crc.Go("crc.zip", dir), 4);
    EXPECT_EQ(crc.Codes(), std::set<int>{eeBadCRC});
    EXPECT_EQ(ReadAll(dir / "top" / "mid" / "deep" / "blob.png"), "previous good version");

    TRun bomb;
    fs::path bombDir = Scratch("bomb");
    EXPECT_EQ(bomb.Go("bomb.zip", bombDir), 0);
    EXPECT_EQ(bomb.Codes(), std::set<int>{eeSizeExceeded});
    EXPECT_FALSE(fs::exists(bombDir / "zeros.bin"));

    TRun missing;
    EXPECT_EQ(missing.Go("no-such.zip", Scratch("missing")), 0);
    EXPECT_EQ(missing.Codes(), std::set<int>{eeOpenArchive});
    TRun text;
    EXPECT_EQ(text.Go("notzip.txt", Scratch("text")), 0);
    EXPECT_EQ(text.Codes(), std::set<int>{eeBadArchive});
}

namespace {

// The archive in memory, whose reads of one byte fail: a bad sector in the
// middle of an entry.
class TFailingArchive : public zipcore::IArchiveFile {
public:
    TFailingArchive(const std::vector<std::uint8_t>& bytes, std::uint64_t failFrom) : FBytes(bytes), FFailFrom(failFrom) {}
    std::uint64_t Size() const override { return FBytes.size(); }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        if (offset <= FFailFrom && offset + count > FFailFrom)
            return false;
        std::memcpy(buffer, FBytes.data() + offset, count);
        return true;
    }

private:
    const std::vector<std::uint8_t>& FBytes;
    std::uint64_t FFailFrom;
};

class TFailingHost : public zipcore::TPosixEngineHost {
public:
    TFailingHost(std::vector<std::uint8_t> bytes, std::uint64_t failFrom) : FBytes(std::move(bytes)), FFailFrom(failFrom) {}
    std::unique_ptr<zipcore::IArchiveFile> OpenArchive(const std::u16string&) override
    {
        return std::make_unique<TFailingArchive>(FBytes, FFailFrom);
    }

private:
    std::vector<std::uint8_t> FBytes;
    std::uint64_t FFailFrom;
};

// Where an entry's stored data start, by its name in the archive.
std::size_t DataOffset(const std::vector<std::uint8_t>& z, const std::string& name)
{
    TLayout l = Layout(z);
    for (std::size_t i = 0; i < l.Headers.size(); ++i) {
        std::size_t h = l.Headers[i];
        unsigned nameLength = z[h + 28] | z[h + 29] << 8;
        if (std::string(z.begin() + static_cast<std::ptrdiff_t>(h + 46),
                        z.begin() + static_cast<std::ptrdiff_t>(h + 46 + nameLength)) == name) {
            std::size_t local = l.Locals[i];
            return local + 30 + (z[local + 26] | z[local + 27] << 8) + (z[local + 28] | z[local + 29] << 8);
        }
    }
    ADD_FAILURE() << name << " is not in the archive";
    return 0;
}

} // namespace

TEST(EngineCore, LargeEntriesAndTheirNeighboursArriveWholeOrNotAtAll)
{
    std::map<std::string, std::string> expected = Tree(Data() / "originals" / "big");
    ASSERT_EQ(expected.size(), 7u);
    fs::path dir = Scratch("big");
    TRun run;
    EXPECT_EQ(run.Go("big.zip", dir), 7);
    EXPECT_TRUE(run.Messages.empty()) << run.Messages.front().second;
    EXPECT_TRUE(Tree(dir / "big") == expected);

    // Testing reads all of it too, and writes nothing.
    TRun check;
    check.Test = true;
    fs::path tested = Scratch("big-test");
    EXPECT_EQ(check.Go("big.zip", tested), 7);
    EXPECT_TRUE(check.Messages.empty());
    EXPECT_TRUE(fs::is_empty(tested));

    std::vector<std::uint8_t> z = Bytes(Data() / "big.zip");
    // A byte changed in the stored entry's third block: a CRC error, the
    // good file already there is kept, and the entries after it arrive.
    std::vector<std::uint8_t> flipped = z;
    flipped[DataOffset(z, "big/random.bin") + 2200000] ^= 0x20;
    fs::path crcDir = Scratch("big-crc");
    fs::create_directories(crcDir / "big");
    std::ofstream(crcDir / "big" / "random.bin") << "previous good version";
    TRun crc;
    EXPECT_EQ(crc.GoMemory(flipped, crcDir), 6);
    EXPECT_EQ(crc.Codes(), std::set<int>{eeBadCRC});
    EXPECT_EQ(ReadAll(crcDir / "big" / "random.bin"), "previous good version");
    EXPECT_TRUE(ReadAll(crcDir / "big" / "small5.txt") == expected["small5.txt"]);

    // A bad sector inside the deflated entry's second block (read ahead
    // while the first is inflated), or inside a small entry read ahead while
    // the one before it is finished: that entry is reported and leaves no
    // file, the others arrive whole.
    for (const char* name : {"big/numbers.txt", "big/small3.txt"}) {
        SCOPED_TRACE(name);
        std::size_t at = DataOffset(z, name) + (std::string(name) == "big/numbers.txt" ? 1100000 : 100);
        TFailingHost host(z, at);
        TRun failing;
        fs::path failDir = Scratch("big-fail");
        failing.Go(host, "memory.zip", failDir);
        EXPECT_EQ(failing.Result, 6);
        ASSERT_EQ(failing.Messages.size(), 1u);
        EXPECT_EQ(failing.Messages[0].first, eeBadData);
        EXPECT_THAT(failing.Messages[0].second, HasSubstr(std::string(name) + " (archive ends early)"));
        EXPECT_FALSE(fs::exists(failDir / name));
        auto arrived = Tree(failDir / "big");
        EXPECT_EQ(arrived.size(), 6u);
        for (const auto& [file, bytes] : arrived)
            EXPECT_TRUE(bytes == expected[file]) << file;
    }

    // Cancelled in the middle of a large entry: the run ends at once.
    TRun cancel;
    int progress = 0;
    cancel.Answer = [&](int action) { return action == acProgress && ++progress == 2 ? kCancel : kGoOn; };
    EXPECT_EQ(cancel.Go("big.zip", Scratch("big-cancel")), kResultCancelled);
    EXPECT_EQ(std::count(cancel.Actions.begin(), cancel.Actions.end(), acNewFile), 2);
}

namespace {

// A disk that knows names in one case only, as Windows does: every path is
// lower-cased on the way to the POSIX host.
class TFoldingHost : public zipcore::TPosixEngineHost {
public:
    static std::u16string Lower(std::u16string path)
    {
        for (char16_t& c : path)
            if (c >= u'A' && c <= u'Z')
                c = static_cast<char16_t>(c + 32);
        return path;
    }
    std::unique_ptr<zipcore::IOutputFile> CreateOutput(const std::u16string& path, bool mustBeNew) override
    {
        return TPosixEngineHost::CreateOutput(Lower(path), mustBeNew);
    }
    bool Replace(const std::u16string& from, const std::u16string& to) override
    {
        return TPosixEngineHost::Replace(Lower(from), Lower(to));
    }
    bool Remove(const std::u16string& path) override { return TPosixEngineHost::Remove(Lower(path)); }
    zipcore::TFolderResult MakeFolder(const std::u16string& path) override
    {
        return TPosixEngineHost::MakeFolder(Lower(path));
    }
    bool RemoveFolder(const std::u16string& path) override { return TPosixEngineHost::RemoveFolder(Lower(path)); }
    zipcore::TTargetInfo Probe(const std::u16string& path, std::uint16_t date, std::uint16_t time) override
    {
        return TPosixEngineHost::Probe(Lower(path), date, time);
    }
};

} // namespace

TEST(EngineCore, NamesDifferingOnlyInCaseAreOneFileAndTheLastWins)
{
    // However many entries are extracted at once, "A.TXT" after "a.txt"
    // replaces it, as one thread would.
    for (unsigned threads : {1u, 4u}) {
        SCOPED_TRACE(threads);
        fs::path dir = Scratch("cases");
        fs::create_directories(dir / "cases");
        TFoldingHost host;
        host.Threads = threads;
        TRun run;
        run.Password = "";
        EXPECT_EQ(run.Go(host, (Data() / "cases.zip").string(), dir), 4);
        EXPECT_TRUE(run.Messages.empty());
        std::map<std::string, std::string> expected = {{"cases/top.txt", "cases/top.txt\n"},
                                                       {"cases/new/a.txt", "cases/new/A.TXT\n"},
                                                       {"cases/new/b.txt", "cases/new/b.txt\n"}};
        EXPECT_EQ(Tree(dir), expected);
    }
}

TEST(EngineCore, NamesWindowsWouldMisreadAreSkippedAndTheOthersExtracted)
{
    fs::path dir = Scratch("names");
    TRun run;
    run.Password = "";
    EXPECT_EQ(run.Go("names.zip", dir), 4);
    std::set<std::string> skipped;
    for (auto& [name, code, type] : run.Skips) {
        EXPECT_EQ(code, eeUnsafePath) << name;
        EXPECT_EQ(type, stUnsafePath) << name;
        skipped.insert(name);
    }
    EXPECT_EQ(skipped, (std::set<std::string>{"CON.txt", "aux", "Nul.dat", "com1.log", "LPT9", "trail.", "blank ",
                                              "ads.txt:hidden", "con .txt", "dir./", "dir./inner.txt", "sub/prn/",
                                              "sub/prn/deep.txt"}));
    EXPECT_TRUE(run.Messages.empty());
    std::map<std::string, std::string> expected = {{"console.txt", "console.txt\n"},
                                                   {"com10.txt", "com10.txt\n"},
                                                   {"good.txt", "good.txt\n"},
                                                   {"sub/ok.txt", "sub/ok.txt\n"}};
    EXPECT_EQ(Tree(dir), expected);

    TRun evil;
    fs::path inner = Scratch("evil/inner");
    EXPECT_EQ(evil.Go("evil.zip", inner), 1);
    EXPECT_EQ(evil.Skips.size(), 3u);
    EXPECT_EQ(ReadAll(inner / "good.txt"), "good\n");
    EXPECT_FALSE(fs::exists(inner.parent_path() / "evil.txt"));
}

TEST(EngineCore, Utf8NamesByMarkOrUnicodePathField)
{
    fs::path dir = Scratch("utf8");
    TRun run;
    EXPECT_EQ(run.Go("utf8.zip", dir), 3);
    std::map<std::string, std::string> expected = {{"caf\xC3\xA9.txt", "utf8 flag\n"},
                                                   {"na\xC3\xAFve.txt", "unicode path\n"},
                                                   {"stale.txt", "stale path\n"}};
    EXPECT_EQ(Tree(dir), expected);
}

TEST(EngineCore, DamagedDirectoriesAndOffsetsGiveErrorsNotStrayReads)
{
    std::vector<std::uint8_t> plain = Bytes(Data() / "plain.zip");
    TLayout l = Layout(plain);
    ASSERT_EQ(l.Headers.size(), 3u);
    fs::path dir = Scratch("damaged");
    struct TCase {
        const char* What;
        std::function<void(std::vector<std::uint8_t>&)> Damage;
        int Code;
        int Extracted;
    };
    const TCase cases[] = {
        {"directory larger than the file", [&](auto& z) { Put32(z, l.End + 12, 0x7FFFFFFF); }, eeBadArchive, 0},
        {"more entries than the directory holds", [&](auto& z) { Put16(z, l.End + 8, 999), Put16(z, l.End + 10, 999); },
         eeBadArchive, 0},
        {"name running past the directory", [&](auto& z) { Put16(z, l.Headers[2] + 28, 0xFFFF); }, eeBadArchive, 0},
        {"extra field running past the directory", [&](auto& z) { Put16(z, l.Headers[1] + 30, 0x8000); },
         eeBadArchive, 0},
        {"wrong central signature", [&](auto& z) { z[l.Headers[1] + 3] = 9; }, eeBadArchive, 0},
        {"Zip64 markers", [&](auto& z) { Put32(z, l.End + 16, 0xFFFFFFFF); }, eeBadArchive, 0},
        {"spanned", [&](auto& z) { Put16(z, l.End + 4, 1); }, eeBadArchive, 0},
        {"local header beyond the file", [&](auto& z) { Put32(z, l.Headers[0] + 42, 0xFFFFFFF0); }, eeBadData, 2},
        {"local header before the file", [&](auto& z) { Put32(z, l.End + 16, l.DirStart + 1000); }, eeBadData, 0},
        {"local header cut by the end", [&](auto& z) { Put32(z, l.Headers[0] + 42, std::uint32_t(z.size() - 10)); },
         eeBadData, 2},
        {"compressed size beyond the file", [&](auto& z) { Put32(z, l.Headers[1] + 20, 0xFFFFFF00); }, eeBadData, 2},
        {"data start beyond the file",
         [&](auto& z) { Put16(z, l.Locals[2] + 26, 0xFFFF), Put16(z, l.Locals[2] + 28, 0xFFFF); }, eeBadData, 2},
        {"wrong local signature", [&](auto& z) { z[l.Locals[0] + 2] = 7; }, eeBadData, 2},
        {"stored size disagreeing", [&](auto& z) { Put32(z, l.Headers[2] + 24, 3); }, eeBadData, 2},
        {"deflated beyond its size", [&](auto& z) { Put32(z, l.Headers[0] + 24, 3); }, eeSizeExceeded, 2},
        {"unknown method", [&](auto& z) { Put16(z, l.Headers[1] + 10, 99); }, eeUnsupported, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        std::vector<std::uint8_t> z = plain;
        c.Damage(z);
        TRun run;
        fs::remove_all(dir);
        fs::create_directories(dir);
        EXPECT_EQ(run.GoMemory(z, dir), c.Extracted);
        EXPECT_EQ(run.Codes(), std::set<int>{c.Code});
        EXPECT_EQ(run.Actions.back(), acEndBatch);
    }
    // Every truncation of a real archive: an error or fewer files, never more.
    std::vector<std::uint8_t> main = Bytes(Data() / "main.zip");
    for (std::size_t n = 0; n < main.size(); n += 97) {
        TRun run;
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::vector<std::uint8_t> cut(main.begin(), main.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(run.GoMemory(cut, dir), 0) << n;
        EXPECT_FALSE(run.Codes().empty()) << n;
    }
}

TEST(EngineCore, CancelAndAbortStopTheRun)
{
    TRun cancel;
    cancel.Answer = [](int action) { return action == acNewFile ? kCancel : kGoOn; };
    EXPECT_EQ(cancel.Go("main.zip", Scratch("cancel")), kResultCancelled);

    TRun handler;
    handler.Answer = [](int action) { return action == acProgress ? kHandlerException : kGoOn; };
    EXPECT_EQ(handler.Go("main.zip", Scratch("handler")), kResultHandlerException);

    TRun abort;
    abort.Answer = [&abort](int action) {
        if (action == acNewFile)
            zipcore::Abort(abort.AbortHandle);
        return kGoOn;
    };
    EXPECT_EQ(abort.Go("main.zip", Scratch("abort")), kResultAborting);
    EXPECT_NE(abort.AbortHandle, 0);

    EXPECT_TRUE(zipcore::WildMatch(u"top/*.TXT", u"top\\mid\\numbers.txt"));
    EXPECT_TRUE(zipcore::WildMatch(u"*", u""));
    EXPECT_FALSE(zipcore::WildMatch(u"top/?", u"top/ab"));
}
