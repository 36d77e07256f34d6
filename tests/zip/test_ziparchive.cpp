// TZipArchive with the real engine on archives made by Info-ZIP zip.
#include "zip/uZipArchive.h"
#include "zipTestUtil.h"
#include "platform/uLocale.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

namespace fs = std::filesystem;
using namespace ziptest;
using ::testing::HasSubstr;

namespace {

// The component as the wizard sets it up.
struct TWizardZip : TZipArchive {
    TWizardZip() : TZipArchive(nullptr)
    {
        SetPassword("mirabel ");
        SetPasswordReqCount(1);
        SetExtrOptions(ExtrDirNames | ExtrOverWrite);
        SetUnattended(true);
        SetLanguage("NL");
        SetVerbose(true);
        SetDLLDirectory(EngineDir());
        Events.OnTotalProgress = [this](TObject*, std::int64_t total, int perCent) {
            Totals.push_back({total, perCent});
        };
    }
    // The wizard's UnpackArchive, without the exception.
    void Unpack(const AnsiString& archive)
    {
        SetExtrBaseDir(fs::path(archive).parent_path().string() + "\\");
        SetZipFileName(archive);
        Extract();
    }
    std::vector<std::pair<std::int64_t, int>> Totals;
};

fs::path Dir(const AnsiString& archive) { return fs::path(archive).parent_path(); }

} // namespace

TEST(ZipArchive, ExtractsNestedStoredDeflatedAndEmptyFiles)
{
    for (const char* name : {"main.zip", "streamed.zip", "crccheck.zip"}) {
        SCOPED_TRACE(name);
        AnsiString archive = FreshCopy("nested", name);
        fs::path dir = Dir(archive);
        fs::create_directories(dir / "top");
        WriteAll(dir / "top" / "readme.txt", "old contents that must be replaced, longer than the new ones");
        TWizardZip zip;
        zip.Unpack(archive);
        EXPECT_EQ(zip.ErrCode(), 0);
        EXPECT_EQ(zip.ErrorId(), 0);
        EXPECT_EQ(zip.ErrMessage(), "");
        EXPECT_EQ(zip.SuccessCnt(), 5);
        EXPECT_EQ(ReadAll(dir / "top" / "readme.txt"), "first line\r\nsecond line\r\n");
        EXPECT_EQ(ReadAll(dir / "top" / "mid" / "deep" / "leaf.txt"), "deep file\n");
        std::string numbers = ReadAll(dir / "top" / "mid" / "numbers.txt");
        EXPECT_EQ(numbers.substr(0, 6), "1\n2\n3\n");
        EXPECT_EQ(numbers.size(), 108894u);
        EXPECT_EQ(fs::file_size(dir / "top" / "mid" / "deep" / "blob.png"), 70000u);
        EXPECT_EQ(fs::file_size(dir / "top" / "empty.dat"), 0u);
        // No temporary files left behind.
        for (auto& e : fs::recursive_directory_iterator(dir))
            EXPECT_EQ(e.path().string().find("~zetmp"), std::string::npos) << e.path();
        // 101 once after listing, rising per cent, 101 at the end of the batch.
        ASSERT_GE(zip.Totals.size(), 3u);
        EXPECT_EQ(zip.Totals.front(), std::make_pair(std::int64_t{0}, 101));
        EXPECT_EQ(zip.Totals.back(), std::make_pair(std::int64_t{0}, 101));
        int last = 0;
        for (std::size_t i = 1; i + 1 < zip.Totals.size(); ++i) {
            EXPECT_GE(zip.Totals[i].second, last);
            EXPECT_LE(zip.Totals[i].second, 100);
            last = zip.Totals[i].second;
        }
        EXPECT_EQ(last, 100);
    }
}

TEST(ZipArchive, FolderOnlyAndEmptyArchivesExtractWithoutError)
{
    AnsiString archive = FreshCopy("folders", "folders.zip");
    TWizardZip zip;
    zip.Unpack(archive);
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_EQ(zip.ErrorId(), 0);
    EXPECT_EQ(zip.ErrCode(), 0);
    EXPECT_TRUE(fs::is_directory(Dir(archive) / "folders" / "one" / "two"));
    EXPECT_TRUE(fs::is_directory(Dir(archive) / "folders" / "three"));

    AnsiString empty = FreshCopy("empty", "empty.zip");
    TWizardZip zip2;
    zip2.Unpack(empty);
    EXPECT_EQ(zip2.Count(), 0);
    EXPECT_EQ(zip2.ErrorId(), 0);
    EXPECT_EQ(zip2.ErrMessage(), "");
    EXPECT_EQ(zip2.Totals.front(), std::make_pair(std::int64_t{0}, 101));
}

TEST(ZipArchive, WrongPasswordSetsErrCodeAndWritesNothing)
{
    AnsiString archive = FreshCopy("wrongpw", "main.zip");
    TWizardZip zip;
    zip.SetPassword("wrong");
    std::vector<std::uint32_t> requests;
    zip.Unpack(archive);
    EXPECT_EQ(zip.ErrCode(), zipeng::eeBadPassword);
    EXPECT_EQ(zip.ErrorId(), zipeng::eeBadPassword);
    EXPECT_THAT(zip.ErrMessage(), HasSubstr("Wrong password for top\\"));
    EXPECT_EQ(zip.SuccessCnt(), 0);
    EXPECT_FALSE(fs::exists(Dir(archive) / "top" / "readme.txt"));
    EXPECT_TRUE(fs::exists(archive)); // the caller keeps it

    // A later successful run leaves ErrCode as it was.
    zip.SetPassword("mirabel ");
    zip.Extract();
    EXPECT_EQ(zip.ErrorId(), 0);
    EXPECT_EQ(zip.ErrCode(), zipeng::eeBadPassword);
    EXPECT_TRUE(fs::exists(Dir(archive) / "top" / "readme.txt"));
}

TEST(ZipArchive, PasswordRequestsReachTheHandlerWithTheirRepeatCount)
{
    AnsiString archive = FreshCopy("pwhandler", "main.zip");
    TWizardZip zip;
    zip.SetPassword("");
    zip.SetPasswordReqCount(3);
    std::vector<std::uint32_t> repeats;
    int calls = 0;
    zip.Events.OnPasswordError = [&](TObject*, bool isZip, AnsiString& pw, const AnsiString& forFile,
                                     std::uint32_t& repeat, TZipDlgBtn& action) {
        EXPECT_FALSE(isZip);
        EXPECT_FALSE(forFile.empty());
        repeats.push_back(repeat);
        pw = ++calls < 3 ? "guess" : "mirabel ";
        action = TZipDlgBtn::mbOK;
    };
    zip.Unpack(archive);
    EXPECT_EQ(zip.ErrCode(), 0);
    EXPECT_EQ(zip.SuccessCnt(), 5);
    // Two wrong guesses, then the right one, which is kept for the rest.
    EXPECT_EQ(repeats, (std::vector<std::uint32_t>{3, 2, 1}));

    // Unattended without password or handler: no request at all.
    AnsiString again = FreshCopy("pwnone", "main.zip");
    TWizardZip quiet;
    quiet.SetPassword("");
    std::vector<int> codes;
    quiet.Events.OnMessage = [&](TObject*, int code, const AnsiString& text) {
        if (text.find("Unattended Extract") != AnsiString::npos)
            codes.push_back(code);
    };
    quiet.Unpack(again);
    EXPECT_EQ(codes, std::vector<int>{0});
    EXPECT_EQ(quiet.ErrCode(), zipeng::eeBadPassword);
    EXPECT_EQ(quiet.PasswordReqCount(), 1u);
}

TEST(ZipArchive, DamagedEntryIsReportedAndLeavesTheOldFile)
{
    AnsiString archive = FreshCopy("crc", "crc.zip");
    fs::path blob = Dir(archive) / "top" / "mid" / "deep" / "blob.png";
    fs::create_directories(blob.parent_path());
    WriteAll(blob, "previous good version");
    TWizardZip zip;
    zip.Unpack(archive);
    EXPECT_EQ(zip.ErrCode(), zipeng::eeBadCRC);
    EXPECT_THAT(zip.ErrMessage(), HasSubstr("CRC error in top\\mid\\deep\\blob.png"));
    EXPECT_EQ(ReadAll(blob), "previous good version");
    EXPECT_EQ(zip.SuccessCnt(), 4); // the others still arrive
}

TEST(ZipArchive, NamesLeavingTheFolderAreSkippedWithAnError)
{
    AnsiString archive = FreshCopy("evil/inner", "evil.zip");
    fs::path dir = Dir(archive);
    std::vector<std::pair<AnsiString, UnZipSkipTypes>> skipped;
    TWizardZip zip;
    zip.Events.OnExtractSkipped = [&](TObject*, const AnsiString& name, UnZipSkipTypes type, int code) {
        EXPECT_EQ(code, zipeng::eeUnsafePath);
        skipped.push_back({name, type});
    };
    zip.Unpack(archive);
    EXPECT_EQ(zip.ErrCode(), zipeng::eeUnsafePath);
    EXPECT_EQ(zip.ErrorId(), zipeng::eeUnsafePath);
    ASSERT_EQ(skipped.size(), 3u);
    EXPECT_EQ(skipped[0].first, "..\\evil.txt");
    EXPECT_EQ(skipped[1].first, "\\abs.txt");
    EXPECT_EQ(skipped[2].first, "C:\\drive.txt");
    EXPECT_EQ(skipped[0].second, UnZipSkipTypes::stUnsafePath);
    EXPECT_THAT(zip.ErrMessage(), HasSubstr("Skipped C:\\drive.txt"));
    EXPECT_EQ(ReadAll(dir / "good.txt"), "good\n");
    EXPECT_FALSE(fs::exists(dir.parent_path() / "evil.txt"));
    EXPECT_FALSE(fs::exists("Z:\\abs.txt"));
    EXPECT_FALSE(fs::exists("C:\\drive.txt"));
    EXPECT_EQ(zip.SuccessCnt(), 1);
}

TEST(ZipArchive, DataBeyondTheDeclaredSizeAreRefused)
{
    AnsiString archive = FreshCopy("bomb", "bomb.zip");
    TWizardZip zip;
    zip.Unpack(archive);
    EXPECT_EQ(zip.ErrCode(), zipeng::eeSizeExceeded);
    EXPECT_THAT(zip.ErrMessage(), HasSubstr("exceed the declared size"));
    EXPECT_FALSE(fs::exists(Dir(archive) / "zeros.bin"));
}

TEST(ZipArchive, ArchivesThatCannotBeReadRecordWithoutErrCode)
{
    TWizardZip zip;
    AnsiString missing = DataDir() + "no-such.zip";
    zip.SetZipFileName(missing);
    EXPECT_EQ(zip.ErrorId(), 0);
    EXPECT_TRUE(zip.Totals.empty());
    EXPECT_EQ(zip.Extract(), 11002);
    EXPECT_EQ(zip.ErrMessage(), "Zip file could not be opened");

    AnsiString text = FreshCopy("text", "notzip.txt");
    zip.SetExtrBaseDir(Dir(text).string() + "\\");
    zip.SetZipFileName(text);
    EXPECT_EQ(zip.ErrorId(), 11036);
    EXPECT_EQ(zip.Extract(), 11036);
    EXPECT_EQ(zip.ErrMessage(), "This archive is not a valid Zip archive");
    EXPECT_FALSE(zip.Dll_Load());

    zip.SetZipFileName(DataDir() + "badsig.zip");
    EXPECT_EQ(zip.ErrorId(), 11015);
    EXPECT_EQ(zip.ErrMessage(), "A central header signature is wrong");
    EXPECT_EQ(zip.ZipFileName(), "");
    EXPECT_EQ(zip.Extract(), 10102);

    zip.SetZipFileName(DataDir() + "spanned.zip");
    EXPECT_EQ(zip.ErrorId(), 11050);
    EXPECT_EQ(zip.ZipFileName(), "");
    EXPECT_EQ(zip.ErrCode(), 0);
}

TEST(ZipArchive, StructureWarningsNeedAListener)
{
    TWizardZip zip;
    zip.SetZipFileName(DataDir() + "garbage.zip");
    EXPECT_EQ(zip.ErrorId(), 0); // unattended, nobody listening
    std::vector<int> ids;
    zip.Events.OnMessage = [&](TObject*, int id, const AnsiString&) { ids.push_back(id); };
    zip.SetZipFileName(DataDir() + "garbage.zip");
    EXPECT_EQ(zip.ErrorId(), 10204);
    EXPECT_EQ(zip.ErrMessage(), "Warning - Garbage at the end of the zipfile!");
    EXPECT_EQ(zip.ZipComment(), "archive comment");
    zip.SetZipFileName(DataDir() + "padded.zip");
    EXPECT_EQ(zip.ErrorId(), 0);

    zip.SetZipFileName(DataDir() + "badoffset.zip");
    EXPECT_EQ(zip.ErrorId(), 10203);
    EXPECT_EQ(zip.Count(), 3);
    EXPECT_TRUE(zip.Worker().StructureWarning());
    EXPECT_EQ(zip.DirEntry(2).FileName, "top\\mid\\deep\\leaf.txt");
    EXPECT_EQ(ids, (std::vector<int>{10204, 10203}));
}

TEST(ZipArchive, EngineThatCannotBeLoadedIsRecorded)
{
    AnsiString archive = FreshCopy("engines", "main.zip");
    fs::path emptyDir = Dir(archive) / "noengine";
    fs::create_directories(emptyDir);
    TWizardZip zip;
    zip.SetDLLDirectory(emptyDir.string() + "\\");
    zip.Unpack(archive);
    EXPECT_EQ(zip.ErrorId(), 10650);
    EXPECT_EQ(zip.ErrMessage(), "Failed to load ZipEng179.dll");
    EXPECT_EQ(zip.ErrCode(), 0);

    for (const char* kind : {"old", "noabort"}) {
        zip.SetDLLDirectory(FakeEngineDir(kind));
        EXPECT_EQ(zip.Extract(), 10651) << kind;
        EXPECT_THAT(zip.ErrMessage(), HasSubstr("- It is old or corrupt")) << kind;
        EXPECT_FALSE(zip.Dll_Load());
    }
    EXPECT_FALSE(fs::exists(Dir(archive) / "top"));

    // Loading is reported; the library stays only while Dll_Load holds it.
    std::vector<AnsiString> texts;
    zip.Events.OnMessage = [&](TObject*, int, const AnsiString& t) { texts.push_back(t); };
    zip.SetDLLDirectory(EngineDir());
    zip.SetDll_Load(true);
    EXPECT_TRUE(zip.Dll_Load());
    EXPECT_EQ(zip.Worker().EngineVersion(), 179);
    zip.SetDll_Load(false);
    EXPECT_FALSE(zip.Dll_Load());
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_THAT(texts[0], HasSubstr("Loaded "));
    EXPECT_THAT(texts[1], HasSubstr("Unloaded "));
}

TEST(ZipArchive, ExceptionInAHandlerCancelsTheRun)
{
    AnsiString archive = FreshCopy("handler", "main.zip");
    TWizardZip zip;
    zip.SetExtrBaseDir(Dir(archive).string() + "\\");
    zip.SetZipFileName(archive);
    zip.Events.OnTotalProgress = [](TObject*, std::int64_t, int perCent) {
        if (perCent != 101)
            throw Exception("boom");
    };
    EXPECT_EQ(zip.Extract(), 10123);
    EXPECT_EQ(zip.ErrMessage(), "DLL Error - Exception in handler  #2 \"boom\"");
    EXPECT_EQ(zip.ErrCode(), 0);
    EXPECT_LE(zip.SuccessCnt(), 1);
}

TEST(ZipArchive, ReentryAndAbortFromInsideARun)
{
    AnsiString archive = FreshCopy("reentry", "main.zip");
    TWizardZip zip;
    zip.SetExtrBaseDir(Dir(archive).string() + "\\");
    zip.SetZipFileName(archive);
    int inner = 0;
    AnsiString innerMessage;
    zip.Events.OnItemProgress = [&](TObject*, const AnsiString& item, std::uint32_t, int perCent) {
        if (inner == 0 && perCent == 0 && !item.empty()) {
            inner = zip.Extract();
            innerMessage = zip.ErrMessage();
            zip.SetZipFileName("elsewhere.zip"); // refused while busy
        }
    };
    zip.Extract();
    EXPECT_EQ(inner, -255);
    EXPECT_EQ(innerMessage, "Busy + ");
    EXPECT_EQ(zip.ZipFileName(), archive);
    EXPECT_TRUE(zip.Reentry());
    EXPECT_EQ(zip.SuccessCnt(), 5);

    zip.Events.OnItemProgress = [&](TObject*, const AnsiString&, std::uint32_t, int) { zip.Abort(); };
    EXPECT_EQ(zip.Extract(), 10120);
    EXPECT_EQ(zip.ErrMessage(), "DLL Error - User Cancelled");
    EXPECT_FALSE(zip.Reentry());
}

TEST(ZipArchive, ExtractFolderChecksAndOptions)
{
    AnsiString archive = FreshCopy("folders-check", "main.zip");
    fs::path dir = Dir(archive);
    TWizardZip zip;
    zip.SetZipFileName(archive);
    zip.SetExtrBaseDir((dir / "missing").string());
    EXPECT_EQ(zip.Extract(), 10504);
    EXPECT_EQ(zip.ErrMessage(), "Extract directory '" + (dir / "missing").string() + "\\' must exist");

    zip.SetExtrOptions(ExtrDirNames | ExtrForceDirs);
    zip.FSpecArgs().Add("top/mid/*");
    EXPECT_EQ(zip.Extract(), 0);
    EXPECT_TRUE(zip.FSpecArgs().Count() == 0);
    EXPECT_TRUE(fs::exists(dir / "missing" / "top" / "mid" / "numbers.txt"));
    EXPECT_FALSE(fs::exists(dir / "missing" / "top" / "readme.txt"));
    EXPECT_EQ(zip.SuccessCnt(), 3);

    // Without ExtrOverWrite an existing file is skipped, and no error recorded.
    WriteAll(dir / "missing" / "top" / "mid" / "numbers.txt", "mine");
    std::vector<UnZipSkipTypes> skips;
    zip.Events.OnExtractSkipped = [&](TObject*, const AnsiString&, UnZipSkipTypes t, int code) {
        EXPECT_EQ(code, 0);
        skips.push_back(t);
    };
    zip.SetExtrOptions(ExtrDirNames);
    zip.FSpecArgs().Add("*numbers*");
    zip.Extract();
    EXPECT_EQ(zip.ErrCode(), 0);
    EXPECT_EQ(skips, std::vector<UnZipSkipTypes>{UnZipSkipTypes::stNoOverwrite});
    EXPECT_EQ(ReadAll(dir / "missing" / "top" / "mid" / "numbers.txt"), "mine");

    // Without ExtrDirNames every file lands in the folder itself.
    fs::create_directories(dir / "flat");
    zip.SetExtrBaseDir((dir / "flat").string() + "\\");
    zip.SetExtrOptions(0);
    zip.Extract();
    EXPECT_TRUE(fs::exists(dir / "flat" / "leaf.txt"));
    EXPECT_TRUE(fs::exists(dir / "flat" / "readme.txt"));

    zip.SetPasswordReqCount(20);
    EXPECT_EQ(zip.PasswordReqCount(), 15u);
    EXPECT_EQ(zip.Language(), "US: default");
    EXPECT_EQ(zip.Version(), "1.79.01.02");
    zip.SetActive(false);
    EXPECT_EQ(zip.ErrMessage(), "not Active");
    EXPECT_EQ(zip.Extract(), -255);
}

TEST(ZipArchive, OnlyTheEngineInTheGivenFolderIsLoaded)
{
    AnsiString archive = FreshCopy("planted", "main.zip");
    fs::path dir = Dir(archive);
    fs::create_directories(dir / "noengine");
    fs::path before = fs::current_path();
    struct TRestore {
        fs::path Dir;
        std::string Path;
        ~TRestore()
        {
            fs::current_path(Dir);
            platform::SetEnvVar("PATH", Path);
        }
    } restore{before, std::getenv("PATH") ? std::getenv("PATH") : ""};

    // A planted engine in the current folder and on PATH is never picked up:
    // it would be refused as too old (10651) if it were.
    fs::current_path(fs::path(FakeEngineDir("old")));
    platform::SetEnvVar("PATH", FakeEngineDir("noabort") + ";" + restore.Path);
    for (AnsiString engineDir : {(dir / "noengine").string() + "\\", AnsiString()}) {
        TWizardZip zip;
        zip.SetDLLDirectory(engineDir);
        zip.Unpack(archive);
        EXPECT_EQ(zip.ErrorId(), 10650) << engineDir;
        EXPECT_EQ(zip.ErrMessage(), "Failed to load ZipEng179.dll");
    }

    // A relative folder would be resolved against the current one: refused,
    // even though the real engine lies there.
    fs::path bin = fs::path(EngineDir().substr(0, EngineDir().size() - 1));
    fs::current_path(bin.parent_path());
    TWizardZip relative;
    relative.SetDLLDirectory(bin.filename().string());
    relative.Unpack(archive);
    EXPECT_EQ(relative.ErrorId(), 10650);
    EXPECT_EQ(relative.ErrMessage(), "Failed to load " + bin.filename().string() + "\\ZipEng179.dll");
    EXPECT_FALSE(fs::exists(dir / "top"));

    // A drive's root stays the root.
    relative.Worker().SetEngineDir("C:\\");
    EXPECT_EQ(relative.Worker().LibraryPath(), "C:\\ZipEng179.dll");
    relative.Worker().SetEngineDir(EngineDir());
    EXPECT_EQ(relative.Worker().LibraryPath(), EngineDir() + "ZipEng179.dll");
}

TEST(ZipArchive, NamesWindowsWouldMisreadAreSkippedAndTheRestExtracted)
{
    AnsiString archive = FreshCopy("names", "names.zip");
    fs::path dir = Dir(archive);
    std::set<AnsiString> skipped;
    TWizardZip zip;
    zip.Events.OnExtractSkipped = [&](TObject*, const AnsiString& name, UnZipSkipTypes type, int code) {
        EXPECT_EQ(code, zipeng::eeUnsafePath) << name;
        EXPECT_EQ(type, UnZipSkipTypes::stUnsafePath) << name;
        skipped.insert(name);
    };
    zip.Unpack(archive);
    EXPECT_EQ(skipped, (std::set<AnsiString>{"CON.txt", "aux", "Nul.dat", "com1.log", "LPT9", "trail.", "blank ",
                                             "ads.txt:hidden", "con .txt", "dir.\\", "dir.\\inner.txt",
                                             "sub\\prn\\", "sub\\prn\\deep.txt"}));
    EXPECT_EQ(zip.ErrCode(), zipeng::eeUnsafePath);
    EXPECT_EQ(zip.SuccessCnt(), 4);
    EXPECT_EQ(ReadAll(dir / "console.txt"), "console.txt\n");
    EXPECT_EQ(ReadAll(dir / "com10.txt"), "com10.txt\n");
    EXPECT_EQ(ReadAll(dir / "good.txt"), "good.txt\n");
    EXPECT_EQ(ReadAll(dir / "sub" / "ok.txt"), "sub/ok.txt\n");
    std::set<std::string> onDisk;
    for (auto& e : fs::recursive_directory_iterator(dir))
        onDisk.insert(fs::relative(e.path(), dir).string());
    EXPECT_EQ(onDisk, (std::set<std::string>{"names.zip", "console.txt", "com10.txt", "good.txt", "sub", "sub\\ok.txt"}));
}

TEST(ZipArchive, TheListingNamesTheFilesTheEngineWrites)
{
    AnsiString archive = FreshCopy("utf8", "utf8.zip");
    fs::path dir = Dir(archive);
    TWizardZip zip;
    zip.Unpack(archive);
    EXPECT_EQ(zip.ErrCode(), 0);
    EXPECT_EQ(zip.SuccessCnt(), 3);
    ASSERT_EQ(zip.Count(), 3);
    std::set<AnsiString> listed;
    for (int i = 0; i < zip.Count(); ++i) {
        listed.insert(zip.DirEntry(i).FileName);
        EXPECT_TRUE(fs::exists(dir / std::string(zip.DirEntry(i).FileName))) << zip.DirEntry(i).FileName;
    }
    EXPECT_EQ(listed, (std::set<AnsiString>{"caf\xE9.txt", "na\xEFve.txt", "stale.txt"}));
    EXPECT_EQ(ReadAll(dir / "na\xEFve.txt"), "unicode path\n");
}

namespace {

// A file another program keeps open cannot be replaced: the error names the
// entry, and the file keeps what it held.
TEST(ZipArchive, AFileThatCannotBeReplacedIsNamedAndKept)
{
    AnsiString archive = FreshCopy("held", "main.zip");
    fs::path readme = Dir(archive) / "top" / "readme.txt";
    fs::create_directories(readme.parent_path());
    WriteAll(readme, "the customer's own");
    HANDLE held = CreateFileW(readme.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TWizardZip zip;
    zip.Unpack(archive);
    CloseHandle(held);
    EXPECT_EQ(zip.ErrCode() & 0xFF, zipeng::eeCreateFile);
    EXPECT_EQ(zip.ErrEntry(), "top\\readme.txt");
    EXPECT_THAT(zip.ErrMessage(), HasSubstr("top\\readme.txt"));
    EXPECT_EQ(ReadAll(readme), "the customer's own");
    EXPECT_FALSE(fs::exists(readme.string() + ".~zetmp")) << "no half-made file is left";

}

} // namespace
