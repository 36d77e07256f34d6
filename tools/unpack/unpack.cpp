// unpack.exe: lists and extracts one archive through TZipArchive with the
// wizard's settings, for diagnosing archives and engine builds.
//   unpack.exe ARCHIVE [--password P] [--engine-dir DIR]
#include "zip/uZipArchive.h"
#include "platform/uDrives.h"
#include "platform/uSystem.h"
#include "runtime/uSysUtils.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: unpack.exe ARCHIVE [--password P] [--engine-dir DIR]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    AnsiString archive, password = "mirabel ", engineDir;
    bool haveEngineDir = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--password") == 0 && i + 1 < argc)
            password = argv[++i];
        else if (std::strcmp(argv[i], "--engine-dir") == 0 && i + 1 < argc)
            engineDir = argv[++i], haveEngineDir = true;
        else if (argv[i][0] == '-' && argv[i][1] == '-')
            return Usage();
        else if (archive.empty())
            archive = argv[i];
        else
            return Usage();
    }
    if (archive.empty())
        return Usage();
    // Line by line through the C runtime is one system call per character.
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    // The progress line too: each of its characters a write of its own would
    // cost the extraction's own thread a system call (under Wine, a server
    // round trip) per character; it goes out whole instead.
    std::setvbuf(stderr, nullptr, _IOFBF, 1 << 10);
    // The component loads the engine only by an absolute path; a folder
    // named on the command line means the one below the current folder.
    if (!haveEngineDir)
        engineDir = ExtractFilePath(platform::ModuleFileName());
    else if (!engineDir.empty())
        engineDir = platform::FullPathName(engineDir);

    TZipArchive zip(nullptr);
    zip.SetPassword(password);
    zip.SetPasswordReqCount(1);
    zip.SetExtrOptions(ExtrDirNames | ExtrOverWrite);
    zip.SetUnattended(true);
    zip.SetLanguage("NL");
    zip.SetVerbose(true);
    zip.SetTrace(false);
    zip.SetDLLDirectory(engineDir);
    int lastPerCent = -1;
    zip.Events.OnTotalProgress = [&](TObject*, std::int64_t, int perCent) {
        if (perCent == lastPerCent)
            return;
        lastPerCent = perCent;
        if (perCent == 101)
            std::fprintf(stderr, "\rprogress: done   \n");
        else
            std::fprintf(stderr, "\rprogress: %3d%%", perCent);
        std::fflush(stderr);
    };
    zip.Events.OnMessage = [](TObject*, int code, const AnsiString& text) {
        std::printf("message %d: %s\n", code, text.c_str());
        std::fflush(stdout);
    };

    AnsiString full = platform::FullPathName(archive);
    zip.SetExtrBaseDir(ExtractFilePath(full));
    zip.SetZipFileName(full);
    std::printf("archive %s: %d entries\n", full.c_str(), zip.Count());
    // The listing goes out in one piece: the C runtime asks the system what
    // the stream is on every printf, a server round trip each under Wine.
    std::string listing;
    for (int i = 0; i < zip.Count(); ++i) {
        const ZipDirEntry& e = zip.DirEntry(i);
        char sizes[32];
        std::snprintf(sizes, sizeof sizes, "  %10u %10u ", e.UncomprSize, e.ComprSize);
        listing.append(sizes).append(e.FileName.c_str()).append(e.Encrypted ? " *\n" : "\n");
    }
    std::fwrite(listing.data(), 1, listing.size(), stdout);
    zip.Extract();
    std::printf("ErrCode: %d\nErrorId: %d\nErrMessage: %s\nextracted: %d\n", zip.ErrCode(), zip.ErrorId(),
                zip.ErrMessage().c_str(), zip.SuccessCnt());
    return zip.ErrCode() == 0 && zip.ErrorId() == 0 ? 0 : 1;
}
