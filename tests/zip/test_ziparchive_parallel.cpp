// TZipArchive with the real engine on archives of many entries made by
// Info-ZIP and 7-Zip, extracted by as many threads as the process has
// processors and by one (the process held to one processor): the same files
// and the same events, in the archive's order, on the thread that called
// Extract.
#include "zip/uZipArchive.h"
#include "zipTestUtil.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <thread>
#include <windows.h>

namespace fs = std::filesystem;
using namespace ziptest;

namespace {

struct TSeen {
    int ErrCode = -1, SuccessCnt = -1;
    std::vector<std::string> Events;
    std::vector<std::string> NewFiles;
    std::set<std::thread::id> Threads;
    std::map<std::string, std::string> Files;
};

TSeen Unpack(const std::string& name, const std::string& folder)
{
    TSeen seen;
    AnsiString archive = FreshCopy(folder, name);
    fs::path dir = fs::path(archive).parent_path();
    TZipArchive zip(nullptr);
    zip.SetPassword("mirabel ");
    zip.SetPasswordReqCount(1);
    zip.SetExtrOptions(ExtrDirNames | ExtrOverWrite);
    zip.SetUnattended(true);
    zip.SetDLLDirectory(EngineDir());
    zip.Events.OnProgress = [&](TObject*, ProgressType type, const AnsiString& item, std::int64_t size) {
        seen.Threads.insert(std::this_thread::get_id());
        seen.Events.push_back(std::to_string(static_cast<int>(type)) + " " + item + " " + std::to_string(size));
        if (type == ProgressType::NewFile)
            seen.NewFiles.push_back(item);
    };
    zip.Events.OnTotalProgress = [&](TObject*, std::int64_t total, int perCent) {
        seen.Threads.insert(std::this_thread::get_id());
        seen.Events.push_back("total " + std::to_string(total) + " " + std::to_string(perCent));
    };
    zip.SetExtrBaseDir(dir.string() + "\\");
    zip.SetZipFileName(archive);
    zip.Extract();
    seen.ErrCode = zip.ErrCode();
    seen.SuccessCnt = zip.SuccessCnt();
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file() && e.path().filename() != name)
            seen.Files[fs::relative(e.path(), dir).generic_string()] = ReadAll(e.path());
    return seen;
}

} // namespace

TEST(ZipArchiveParallel, ManyEntriesComeOutAsWithOneThread)
{
    std::map<std::string, std::string> originals;
    fs::path source = fs::path(DataDir()) / "originals";
    for (auto& e : fs::recursive_directory_iterator(source / "parallel"))
        if (e.is_regular_file())
            originals[fs::relative(e.path(), source).generic_string()] = ReadAll(e.path());
    ASSERT_EQ(originals.size(), 290u);

    DWORD_PTR process = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
    for (const char* name : {"izip-deflated.zip", "7z-stored.zip"}) {
        SCOPED_TRACE(name);
        TSeen all = Unpack(name, "parallel-all");
        ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), process & (~process + 1)));
        TSeen one = Unpack(name, "parallel-one");
        ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), process));

        EXPECT_EQ(all.ErrCode, 0);
        EXPECT_EQ(all.SuccessCnt, 290);
        EXPECT_TRUE(all.Files == originals) << "not the files that went in";
        EXPECT_EQ(all.Threads, std::set<std::thread::id>{std::this_thread::get_id()});
        EXPECT_EQ(one.Threads, all.Threads);
        EXPECT_EQ(one.ErrCode, all.ErrCode);
        EXPECT_EQ(one.SuccessCnt, all.SuccessCnt);
        EXPECT_EQ(one.Events, all.Events);
        EXPECT_TRUE(one.Files == all.Files);
        // Announced in the archive's order.
        TZipArchive listing(nullptr);
        listing.SetZipFileName(FreshCopy("parallel-list", name));
        std::vector<std::string> order;
        for (int i = 0; i < listing.Count(); ++i)
            if (listing.DirEntry(i).FileName.back() != '\\')
                order.push_back(listing.DirEntry(i).FileName);
        EXPECT_EQ(all.NewFiles, order);
    }
}

// An installation step works below normal priority beside its window, and the
// engine takes one thread fewer for it: the same files and events come out,
// on the step's own thread.
TEST(ZipArchiveParallel, ACallerBelowNormalPriorityGetsTheSameResult)
{
    const char* name = "izip-deflated.zip";
    TSeen all = Unpack(name, "priority-all");
    TSeen below;
    std::thread::id caller;
    std::thread step([&] {
        caller = std::this_thread::get_id();
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        below = Unpack(name, "priority-below");
    });
    step.join();
    EXPECT_EQ(below.ErrCode, 0);
    EXPECT_EQ(below.SuccessCnt, 290);
    EXPECT_EQ(below.Threads, std::set<std::thread::id>{caller});
    EXPECT_EQ(below.Events, all.Events);
    EXPECT_TRUE(below.Files == all.Files);
}
