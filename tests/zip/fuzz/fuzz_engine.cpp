// The engine core extracting a whole archive from memory into a scratch
// folder on two workers, once with the right password and once without one (answering the
// password request with a guess), emptying the folder after each.
#include "engine/core/uEngineCore.h"
#include "engine/posix/uPosixEngineHost.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

std::int32_t Answer(void*, zipeng::TCallbackRec* rec)
{
    if ((rec->Action & 0x3F) == zipeng::acPassword) {
        std::memset(rec->Reply, 0, sizeof rec->Reply);
        std::strcpy(rec->Reply, "guess");
        rec->Action = zipeng::kReplyAccept;
    }
    return zipeng::kGoOn;
}

// A fresh folder per input, removed afterwards: libFuzzer ends without
// running exit handlers, so nothing may outlive one input.
struct TScratch {
    std::filesystem::path Dir;
    TScratch()
    {
        char pattern[] = "/tmp/fuzz_engine.XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (!made)
            std::abort();
        Dir = made;
    }
    ~TScratch()
    {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TScratch scratch;
    const std::filesystem::path& dir = scratch.Dir;
    std::string dirText = dir.string() + "/";
    for (const char* password : {"mirabel ", ""}) {
        zipcore::TMemoryArchiveHost host(std::vector<std::uint8_t>(data, data + size));
        // Two workers however many cores: the parallel path, the same way each time.
        host.Threads = 2;
        zipeng::TCommandBlock b{};
        b.Version = zipeng::kInterfaceVersion;
        b.Callback = &Answer;
        b.Password = password;
        b.Always = -1;
        b.DirNames = -1;
        b.Overwrite = -1;
        b.ZipName = "fuzz.zip";
        b.PwdReqCount = *password ? 0 : 2;
        b.ExtractDir = dirText.c_str();
        b.Check = zipeng::kBlockCheck;
        zipcore::UnzExec(b, host);
        std::error_code ec;
        for (auto& e : std::filesystem::directory_iterator(dir, ec))
            std::filesystem::remove_all(e.path(), ec);
    }
    return 0;
}
