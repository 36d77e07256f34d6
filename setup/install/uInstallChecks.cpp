#include "setup/install/uInstallChecks.h"

#include "platform/uDiskSpace.h"
#include "platform/uDrives.h"
#include "platform/uSystem.h"
#include "runtime/uSysUtils.h"

#include <cctype>
#include "zip/uZipArchive.h"
#include "ziprecords/uZipPaths.h"

AnsiString DriveOf(const AnsiString& folder)
{
    if (folder.size() >= 2 && folder[1] == ':')
        return AnsiString(1, static_cast<char>(std::toupper(static_cast<unsigned char>(folder[0])))) + ":";
    if (folder.size() > 2 && folder[0] == '\\' && folder[1] == '\\') {
        // \\server\share: up to the separator after the share's name.
        std::size_t server = folder.find('\\', 2);
        std::size_t share = server == AnsiString::npos ? AnsiString::npos : folder.find('\\', server + 1);
        return share == AnsiString::npos ? folder : folder.substr(0, share);
    }
    return folder;
}

TSpaceCheck CheckFreeSpace(const AnsiString& folder, std::uint64_t bytes, const TFreeSpaceQuery& freeSpace)
{
    TSpaceCheck check;
    check.Drive = DriveOf(folder);
    check.Needed = bytes + FreeSpaceMarginBytes;
    check.Free = freeSpace ? freeSpace(folder) : platform::FreeDiskSpace(folder);
    return check;
}

namespace {
std::optional<std::uint64_t> ExistingFileSize(const AnsiString& path)
{
    if (!platform::FileExists(path))
        return std::nullopt;
    platform::TOwnedHandle file =
        platform::OpenFile(path, false, 0x7 /* share read, write, delete */, platform::TCreateDisposition::OpenExisting);
    std::int64_t size = file ? platform::FileSize(file.Get()) : -1;
    return size >= 0 ? std::uint64_t(size) : 0;
}
} // namespace

TUnpackPlan PlanUnpack(const std::vector<TArchiveFile>& files, const AnsiString& baseDir)
{
    TUnpackPlan plan;
    const AnsiString base = IncludeTrailingBackslash(baseDir);
    for (const TArchiveFile& file : files) {
        // As the engine will write it: names that would leave the folder are skipped there.
        const std::u16string safe = ziprec::SafeRelativePath(AnsiToWide(file.Name), true);
        if (safe.empty())
            continue;
        const AnsiString target = base + WideToAnsi(safe);
        plan.Targets.push_back(target);
        const std::optional<std::uint64_t> now = ExistingFileSize(target);
        if (now)
            plan.Existing.push_back(target);
        const std::uint64_t held = now.value_or(0);
        plan.Bytes += file.Size > held ? file.Size - held : 0;
    }
    return plan;
}

std::vector<TArchiveFile> ArchiveFiles(const TCustomZipArchive& zip)
{
    std::vector<TArchiveFile> files;
    for (int i = 0; i < zip.Count(); ++i) {
        const ZipDirEntry& entry = zip.DirEntry(i);
        if (entry.FileName.empty() || entry.FileName.back() == '\\' || entry.FileName.back() == '/')
            continue;
        files.push_back(TArchiveFile{entry.FileName, entry.UncomprSize});
    }
    return files;
}
