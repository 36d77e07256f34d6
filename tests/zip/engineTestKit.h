#pragma once
// What the engine core's tests share: one run as the archive component
// starts it, with every callback recorded (and the thread it came on), and
// the files a run left.
#include "engine/core/uEngineCore.h"
#include "engine/posix/uPosixEngineHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace enginetest {

namespace fs = std::filesystem;
using namespace zipeng;

inline fs::path Data() { return fs::path(std::getenv("ZIP_TEST_DATA")); }

inline std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::vector<std::uint8_t> Bytes(const fs::path& path)
{
    std::string s = ReadAll(path);
    return {s.begin(), s.end()};
}

inline fs::path Scratch(const std::string& name)
{
    fs::path dir = fs::path(std::getenv("KORVANT_BINARY_DIR")) / "zip-work" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// One run as the archive component starts it, with what came back.
struct TRun {
    std::string Password = "mirabel ";
    bool DirNames = true, Overwrite = true, Test = false;
    int PwdReqCount = 1;
    std::vector<std::string> Patterns;
    std::function<void(TCallbackRec&)> OnPassword;
    std::function<std::int32_t(int action)> Answer; // what the callback returns
    unsigned Threads = 0; // entries at once; 0: as many as there are cores

    std::int32_t Result = 0;
    std::vector<int> Actions;
    std::vector<std::pair<int, std::string>> Messages;       // code, text
    std::vector<std::tuple<std::string, int, int>> Skips;    // name, code, type
    std::int32_t AbortHandle = 0;
    // Every callback as one line (the abort handle's number left out, it
    // differs from run to run), and the threads they came on.
    std::vector<std::string> Trail;
    std::set<std::thread::id> CallbackThreads;

    static std::int32_t Callback(void* caller, TCallbackRec* rec)
    {
        auto& self = *static_cast<TRun*>(caller);
        int action = rec->Action & 0x3F;
        self.Actions.push_back(action);
        std::string text = rec->Text ? rec->Text : "";
        self.CallbackThreads.insert(std::this_thread::get_id());
        std::ostringstream line;
        line << action << ' ' << (action == acAbortHandle ? 0 : rec->Arg) << ' '
             << (action == acSkipped ? rec->SkipType : rec->Size) << ' ' << text;
        self.Trail.push_back(line.str());
        if (action == acMessage)
            self.Messages.push_back({rec->Arg, text});
        else if (action == acSkipped)
            self.Skips.push_back({text, rec->Arg, rec->SkipType});
        else if (action == acAbortHandle)
            self.AbortHandle = rec->Arg;
        else if (action == acPassword && self.OnPassword)
            self.OnPassword(*rec);
        return self.Answer ? self.Answer(action) : kGoOn;
    }

    std::int32_t Go(zipcore::IEngineHost& host, const std::string& archive, const fs::path& dir)
    {
        std::string dirText = dir.string();
        std::vector<TFileSpec> specs;
        for (const std::string& p : Patterns)
            specs.push_back(TFileSpec{p.c_str(), {}});
        TCommandBlock b{};
        b.Caller = this;
        b.Version = kInterfaceVersion;
        b.Callback = &TRun::Callback;
        b.Password = Password.c_str();
        b.Test = Test ? -1 : 0;
        b.Always = -1;
        b.DirNames = DirNames ? -1 : 0;
        b.Overwrite = Overwrite ? -1 : 0;
        b.ZipName = archive.c_str();
        b.SpecCount = static_cast<std::int32_t>(specs.size());
        b.Specs = specs.empty() ? nullptr : specs.data();
        b.PwdReqCount = PwdReqCount;
        b.ExtractDir = dir.empty() ? nullptr : dirText.c_str();
        b.Check = kBlockCheck;
        Result = zipcore::UnzExec(b, host);
        return Result;
    }
    std::int32_t Go(const std::string& archive, const fs::path& dir)
    {
        zipcore::TPosixEngineHost host;
        host.Threads = Threads;
        return Go(host, (Data() / archive).string(), dir);
    }
    std::int32_t GoMemory(std::vector<std::uint8_t> bytes, const fs::path& dir)
    {
        zipcore::TMemoryArchiveHost host(std::move(bytes));
        host.Threads = Threads;
        return Go(host, "memory.zip", dir);
    }
    std::set<int> Codes() const
    {
        std::set<int> c;
        for (auto& m : Messages)
            c.insert(m.first);
        for (auto& s : Skips)
            c.insert(std::get<1>(s));
        return c;
    }
};

// Every folder below `dir`, relative.
inline std::set<std::string> Folders(const fs::path& dir)
{
    std::set<std::string> folders;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_directory())
            folders.insert(fs::relative(e.path(), dir).string());
    return folders;
}

// Every file below `dir`, relative, with its contents.
inline std::map<std::string, std::string> Tree(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            files[fs::relative(e.path(), dir).string()] = ReadAll(e.path());
    return files;
}

// The central directory of an archive: where each header starts.
struct TLayout {
    std::size_t End = 0, DirStart = 0;
    std::vector<std::size_t> Headers;
    std::vector<std::uint32_t> Locals;
};

inline TLayout Layout(const std::vector<std::uint8_t>& z)
{
    auto get16 = [&](std::size_t p) { return unsigned(z[p] | z[p + 1] << 8); };
    auto get32 = [&](std::size_t p) { return std::uint32_t(get16(p) | get16(p + 2) << 16); };
    TLayout l;
    for (l.End = z.size() - 22; get32(l.End) != 0x06054B50; --l.End) {
    }
    l.DirStart = get32(l.End + 16);
    std::size_t p = l.DirStart;
    for (unsigned i = 0; i < get16(l.End + 10); ++i) {
        l.Headers.push_back(p);
        l.Locals.push_back(get32(p + 42));
        p += 46 + get16(p + 28) + get16(p + 30) + get16(p + 32);
    }
    return l;
}

inline void Put32(std::vector<std::uint8_t>& z, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        z[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Put16(std::vector<std::uint8_t>& z, std::size_t at, unsigned v)
{
    z[at] = static_cast<std::uint8_t>(v), z[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

} // namespace enginetest
