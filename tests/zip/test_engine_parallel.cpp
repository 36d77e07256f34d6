// Entries extracted on several threads against one thread, on archives made
// by Info-ZIP and by 7-Zip: the same callbacks in the same order on the
// caller's thread, the same result and the same files and folders, also when
// an entry is damaged, the password is wrong, the caller cancels or the disk
// is full.
#include "engineTestKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

using namespace zipeng;
using namespace enginetest;

namespace {

constexpr unsigned kMany = 4;

// What a run left and said.
struct TOutcome {
    std::int32_t Result = 0;
    std::vector<std::string> Trail;
    std::map<std::string, std::string> Files;
    std::set<std::string> Folders;
};

// Runs `setup`'s run once with one thread and once with several into fresh
// folders (`prepare` fills each first), checks both against each other and
// the callbacks' thread, and returns the one-thread outcome.
TOutcome Compare(const std::string& name, const std::function<std::int32_t(TRun&, const fs::path&)>& go,
                 const std::function<void(const fs::path&)>& prepare = {})
{
    TOutcome seen[2];
    for (int i = 0; i < 2; ++i) {
        fs::path dir = Scratch(name + (i ? "-many" : "-one"));
        if (prepare)
            prepare(dir);
        TRun run;
        run.Threads = i ? kMany : 1;
        seen[i].Result = go(run, dir);
        seen[i].Trail = run.Trail;
        seen[i].Files = Tree(dir);
        seen[i].Folders = Folders(dir);
        EXPECT_EQ(run.CallbackThreads, std::set<std::thread::id>{std::this_thread::get_id()});
    }
    EXPECT_EQ(seen[1].Result, seen[0].Result);
    EXPECT_EQ(seen[1].Trail, seen[0].Trail);
    EXPECT_TRUE(seen[1].Files == seen[0].Files) << "the files differ";
    EXPECT_EQ(seen[1].Folders, seen[0].Folders);
    return seen[0];
}

std::map<std::string, std::string> Originals(const std::string& below)
{
    std::map<std::string, std::string> files;
    for (auto& [name, bytes] : Tree(Data() / "originals" / below))
        files[below + "/" + name] = bytes;
    return files;
}

// The entries' names in the archive's order, files only.
std::vector<std::string> FileNames(const std::vector<std::uint8_t>& z)
{
    std::vector<std::string> names;
    for (std::size_t h : Layout(z).Headers) {
        std::string name(z.begin() + static_cast<std::ptrdiff_t>(h + 46),
                         z.begin() + static_cast<std::ptrdiff_t>(h + 46 + (z[h + 28] | z[h + 29] << 8)));
        if (name.back() != '/')
            names.push_back(name);
    }
    return names;
}

std::vector<std::string> Announced(const std::vector<std::string>& trail)
{
    std::vector<std::string> names;
    for (const std::string& line : trail)
        if (line.rfind(std::to_string(acNewFile) + " ", 0) == 0)
            names.push_back(line.substr(line.find(' ', line.find(' ', 2) + 1) + 1));
    return names;
}

// Where an entry's stored data start, by its name in the archive.
std::size_t DataOffset(const std::vector<std::uint8_t>& z, const std::string& name)
{
    TLayout l = Layout(z);
    for (std::size_t i = 0; i < l.Headers.size(); ++i) {
        std::size_t h = l.Headers[i];
        std::size_t length = z[h + 28] | z[h + 29] << 8;
        if (std::string(z.begin() + static_cast<std::ptrdiff_t>(h + 46),
                        z.begin() + static_cast<std::ptrdiff_t>(h + 46 + length)) == name) {
            std::size_t local = l.Locals[i];
            return local + 30 + (z[local + 26] | z[local + 27] << 8) + (z[local + 28] | z[local + 29] << 8);
        }
    }
    ADD_FAILURE() << name << " is not in the archive";
    return 0;
}

} // namespace

TEST(EngineParallel, InfoZipAnd7ZipArchivesComeOutAsWithOneThread)
{
    const std::map<std::string, std::string> all = Originals("parallel");
    for (const char* name : {"izip-deflated.zip", "izip-stored.zip", "7z-deflated.zip", "7z-stored.zip",
                             "izip-small.zip", "izip-large.zip"}) {
        SCOPED_TRACE(name);
        TOutcome one = Compare(name, [&](TRun& run, const fs::path& dir) { return run.Go(name, dir); });
        std::map<std::string, std::string> expected;
        std::string part = std::string(name) == "izip-small.zip"   ? "parallel/small/"
                           : std::string(name) == "izip-large.zip" ? "parallel/large/"
                                                                   : "parallel/";
        for (auto& [file, bytes] : all)
            if (file.rfind(part, 0) == 0)
                expected[file] = bytes;
        EXPECT_EQ(one.Result, static_cast<int>(expected.size()));
        EXPECT_TRUE(one.Files == expected) << "not the files that went in";
        // Announced in the archive's order.
        EXPECT_EQ(Announced(one.Trail), FileNames(Bytes(Data() / name)));
    }

    // Testing only: the same checks and nothing written.
    Compare("test-only", [](TRun& run, const fs::path& dir) {
        run.Test = true;
        return run.Go("7z-deflated.zip", dir);
    });
}

// Entries of over 4 MiB stored read and decrypt ahead beside their decoding
// while a processor is free: whole, damaged or cancelled inside, they come
// out as with one thread, which never reads ahead.
TEST(EngineParallel, LargeEntriesReadAheadComeOutAsWithOneThread)
{
    const std::map<std::string, std::string> expected = Originals("ahead");
    ASSERT_GE(expected.at("ahead/random.bin").size(), 4u << 20);
    TOutcome whole = Compare("ahead", [](TRun& run, const fs::path& dir) { return run.Go("izip-ahead.zip", dir); });
    EXPECT_EQ(whole.Result, static_cast<int>(expected.size()));
    EXPECT_TRUE(whole.Files == expected) << "not the files that went in";

    // A byte changed in the third read block of each large entry: both fail
    // their checks, the small ones around them arrive.
    const std::vector<std::uint8_t> z = Bytes(Data() / "izip-ahead.zip");
    std::vector<std::uint8_t> damaged = z;
    damaged[DataOffset(z, "ahead/random.bin") + (2u << 20) + 100] ^= 0x55;
    damaged[DataOffset(z, "ahead/text.txt") + (2u << 20) + 100] ^= 0x55;
    TOutcome bad = Compare("ahead-damaged", [&](TRun& run, const fs::path& dir) { return run.GoMemory(damaged, dir); });
    EXPECT_EQ(bad.Result, static_cast<int>(expected.size()) - 2);
    EXPECT_EQ(bad.Files.count("ahead/random.bin") + bad.Files.count("ahead/text.txt"), 0u);
    EXPECT_EQ(bad.Files.count("ahead/small3.txt"), 1u);

    // Cancelled at a progress report inside the first large entry, while
    // the blocks after it are being read ahead.
    TOutcome cancelled = Compare("ahead-cancel", [](TRun& run, const fs::path& dir) {
        int seen = 0;
        run.Answer = [&seen](int action) { return action == acProgress && ++seen == 2 ? kCancel : kGoOn; };
        return run.Go("izip-ahead.zip", dir);
    });
    EXPECT_EQ(cancelled.Result, kResultCancelled);
    EXPECT_EQ(cancelled.Files.count("ahead/random.bin"), 0u);
}

namespace {

// A host that notes the threads files are created on.
struct TWritersHost : zipcore::TPosixEngineHost {
    std::mutex Lock;
    std::set<std::thread::id> Writers;
    std::unique_ptr<zipcore::IOutputFile> CreateOutput(const std::u16string& path, bool mustBeNew) override
    {
        std::lock_guard lock(Lock);
        Writers.insert(std::this_thread::get_id());
        return TPosixEngineHost::CreateOutput(path, mustBeNew);
    }
};

} // namespace

TEST(EngineParallel, ChainsRunOnWorkersAndTheCallbacksStayOnTheCallersThread)
{
    TWritersHost host;
    host.Threads = kMany;
    TRun run;
    EXPECT_EQ(run.Go(host, (Data() / "izip-small.zip").string(), Scratch("workers")), 281);
    EXPECT_EQ(run.CallbackThreads, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_FALSE(host.Writers.empty());
    EXPECT_EQ(host.Writers.count(std::this_thread::get_id()), 0u);
}

// A caller that keeps its chains to one (an installation step beside its
// window) still has its large entries read ahead on a processor it left;
// every thread the engine starts, reading ahead or running chains, does what
// the host asked first (on Windows: it takes the caller's priority).
TEST(EngineParallel, ThreadsTheRunStartsBeginWithTheHostsStart)
{
    struct THost : TWritersHost {
        unsigned Spare = 0;
        std::vector<std::thread::id> Asked, Started;
        unsigned Processors() override { return Cores() + Spare; }
        std::function<void()> ThreadStart() override
        {
            Asked.push_back(std::this_thread::get_id());
            return [this] {
                std::lock_guard lock(Lock);
                Started.push_back(std::this_thread::get_id());
            };
        }
    };
    const auto caller = std::this_thread::get_id();
    const std::map<std::string, std::string> expected = Originals("ahead");

    THost beside;
    beside.Threads = 1;
    beside.Spare = 1;
    TRun run;
    fs::path dir = Scratch("start-beside");
    EXPECT_EQ(run.Go(beside, (Data() / "izip-ahead.zip").string(), dir), static_cast<int>(expected.size()));
    EXPECT_TRUE(Tree(dir) == expected) << "not the files that went in";
    EXPECT_EQ(beside.Asked, std::vector<std::thread::id>{caller});
    EXPECT_EQ(beside.Writers, std::set<std::thread::id>{caller});
    // One thread reading ahead for each of the two large entries.
    EXPECT_EQ(beside.Started.size(), 2u);
    EXPECT_EQ(std::count(beside.Started.begin(), beside.Started.end(), caller), 0);

    THost workers;
    workers.Threads = kMany;
    TRun many;
    EXPECT_EQ(many.Go(workers, (Data() / "izip-small.zip").string(), Scratch("start-workers")), 281);
    EXPECT_EQ(workers.Asked, std::vector<std::thread::id>{caller});
    const std::set<std::thread::id> started(workers.Started.begin(), workers.Started.end());
    EXPECT_FALSE(workers.Writers.empty());
    for (const std::thread::id& writer : workers.Writers)
        EXPECT_EQ(started.count(writer), 1u) << "a chain ran on a thread that did not start as asked";
}

TEST(EngineParallel, DamagedEntriesInTheMiddleAndWrongPasswordsAsWithOneThread)
{
    const std::vector<std::uint8_t> z = Bytes(Data() / "izip-deflated.zip");
    // A byte changed inside a mid-sized entry and inside a small one: each
    // fails its CRC or its data, the good file already there stays, and the
    // entries around them arrive.
    std::vector<std::uint8_t> damaged = z;
    damaged[DataOffset(z, "parallel/mid/m3.txt") + 5000] ^= 0x55;
    damaged[DataOffset(z, "parallel/small/f120.txt") + 20] ^= 0x55;
    auto keep = [](const fs::path& dir) {
        fs::create_directories(dir / "parallel" / "mid");
        std::ofstream(dir / "parallel" / "mid" / "m3.txt") << "the customer's own version";
    };
    TOutcome one = Compare(
        "damaged", [&](TRun& run, const fs::path& dir) { return run.GoMemory(damaged, dir); }, keep);
    EXPECT_EQ(one.Files["parallel/mid/m3.txt"], "the customer's own version");
    EXPECT_EQ(one.Files.count("parallel/small/f120.txt"), 0u);
    EXPECT_EQ(one.Result, static_cast<int>(Originals("parallel").size()) - 2);

    // A wrong password: every entry refused (or, one in 256, failing its
    // data), the same ones with any number of threads.
    TOutcome wrong = Compare("wrong", [](TRun& run, const fs::path& dir) {
        run.Password = "wrong";
        run.PwdReqCount = 0;
        return run.Go("7z-deflated.zip", dir);
    });
    for (auto& [file, bytes] : wrong.Files)
        EXPECT_TRUE(bytes.empty()) << file << " came out with a wrong password";

    // No password given: the caller is asked at the first entry, in order,
    // and the answer holds for the rest.
    TOutcome asked = Compare("asked", [](TRun& run, const fs::path& dir) {
        run.Password = "";
        run.PwdReqCount = 2;
        run.OnPassword = [](TCallbackRec& rec) {
            std::memset(rec.Reply, 0, sizeof rec.Reply);
            std::strcpy(rec.Reply, "mirabel ");
            rec.Action = kReplyAccept;
        };
        return run.Go("izip-stored.zip", dir);
    });
    EXPECT_EQ(asked.Result, static_cast<int>(Originals("parallel").size()));
    EXPECT_EQ(std::count_if(asked.Trail.begin(), asked.Trail.end(),
                            [](const std::string& l) { return l.rfind(std::to_string(acPassword) + " ", 0) == 0; }),
              1);
}

TEST(EngineParallel, CancelMidwayLeavesWhatOneThreadLeaves)
{
    // Cancelled when the 100th file is announced, inside a large entry's
    // progress, and by an abort from the handler: the files before stay, the
    // rest (done ahead on the workers) is gone, folders included.
    struct TCase {
        const char* Name;
        const char* Archive;
        int Action;
        int Count;
    };
    for (const TCase& c : {TCase{"new-file", "izip-deflated.zip", acNewFile, 100},
                           TCase{"progress", "izip-large.zip", acProgress, 2},
                           TCase{"small-progress", "7z-stored.zip", acProgress, 150}}) {
        SCOPED_TRACE(c.Name);
        TOutcome one = Compare(c.Name, [&](TRun& run, const fs::path& dir) {
            int seen = 0;
            run.Answer = [&seen, &c](int action) { return action == c.Action && ++seen == c.Count ? kCancel : kGoOn; };
            return run.Go(c.Archive, dir);
        });
        EXPECT_EQ(one.Result, kResultCancelled);
        EXPECT_FALSE(one.Files.empty());
    }
    TOutcome aborted = Compare("abort", [](TRun& run, const fs::path& dir) {
        int seen = 0;
        run.Answer = [&run, &seen](int action) {
            if (action == acNewFile && ++seen == 50)
                zipcore::Abort(run.AbortHandle);
            return kGoOn;
        };
        return run.Go("7z-deflated.zip", dir);
    });
    EXPECT_EQ(aborted.Result, kResultAborting);
    EXPECT_EQ(aborted.Files.size(), 49u);
}

namespace {

// A disk with room for so many bytes; writes beyond fail.
class TSmallDiskHost : public zipcore::TPosixEngineHost {
public:
    explicit TSmallDiskHost(std::int64_t room) : FRoom(room) {}
    std::unique_ptr<zipcore::IOutputFile> CreateOutput(const std::u16string& path, bool mustBeNew) override
    {
        auto file = TPosixEngineHost::CreateOutput(path, mustBeNew);
        return file ? std::make_unique<TLimited>(std::move(file), FRoom) : nullptr;
    }

private:
    class TLimited : public zipcore::IOutputFile {
    public:
        TLimited(std::unique_ptr<zipcore::IOutputFile> file, std::atomic<std::int64_t>& room)
            : FFile(std::move(file)), FRoom(room)
        {
        }
        bool Write(const void* data, std::size_t count) override
        {
            auto n = static_cast<std::int64_t>(count);
            return FRoom.fetch_sub(n) >= n && FFile->Write(data, count);
        }
        bool SetTime(std::uint16_t date, std::uint16_t time) override { return FFile->SetTime(date, time); }
        bool Close() override { return FFile->Close(); }

    private:
        std::unique_ptr<zipcore::IOutputFile> FFile;
        std::atomic<std::int64_t>& FRoom;
    };
    std::atomic<std::int64_t> FRoom;
};

} // namespace

TEST(EngineParallel, AFullDiskLeavesOnlyWholeFilesAndTheCustomersOwn)
{
    // No room at all: every entry with content fails alike.
    TOutcome none = Compare("disk-none", [](TRun& run, const fs::path& dir) {
        TSmallDiskHost host(0);
        host.Threads = run.Threads;
        return run.Go(host, (Data() / "izip-deflated.zip").string(), dir);
    });
    for (auto& [file, bytes] : none.Files)
        EXPECT_TRUE(bytes.empty()) << file;

    // Room for part of it: which entries fit depends on the order the disk
    // sees their writes, but every file there is whole, every other entry
    // was reported, nothing temporary stays, and the customer's file whose
    // replacement did not fit is untouched.
    const std::map<std::string, std::string> all = Originals("parallel");
    for (unsigned threads : {1u, kMany}) {
        SCOPED_TRACE(threads);
        fs::path dir = Scratch("disk-part");
        fs::create_directories(dir / "parallel" / "large");
        std::ofstream(dir / "parallel" / "large" / "zeros.bin") << "the customer's own version";
        TSmallDiskHost host(2500000);
        host.Threads = threads;
        TRun run;
        run.Go(host, (Data() / "izip-deflated.zip").string(), dir);
        std::map<std::string, std::string> files = Tree(dir);
        EXPECT_EQ(files["parallel/large/zeros.bin"], "the customer's own version");
        files.erase("parallel/large/zeros.bin");
        for (auto& [file, bytes] : files)
            EXPECT_TRUE(all.count(file) && bytes == all.at(file)) << file << " is not whole";
        std::set<std::string> failed;
        for (auto& [code, text] : run.Messages) {
            EXPECT_EQ(code, eeCreateFile) << text;
            failed.insert(text.substr(text.rfind(' ') + 1));
        }
        EXPECT_EQ(run.Result, static_cast<int>(files.size()));
        EXPECT_EQ(files.size() + failed.size(), all.size()) << "an entry neither arrived nor was reported";
        EXPECT_EQ(run.CallbackThreads, std::set<std::thread::id>{std::this_thread::get_id()});
    }
}
