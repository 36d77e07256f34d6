#pragma once
// What the installation steps check before they fetch or unpack anything on
// a PC that may already hold the product: room on the drive, and which files
// an archive would replace.
#include "runtime/uText.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class TCustomZipArchive;

// Kept free beyond what the files themselves take: the engine's temporary
// copy of a file it replaces, the configuration files, the databases the
// program creates and the support log.
inline constexpr std::uint64_t FreeSpaceMarginBytes = 16ull * 1000 * 1000;
// Megabytes as the progress line counts them.
inline constexpr std::uint64_t BytesPerMB = 1000 * 1000;

// "C:" for "C:\KORVANT07\", "\\server\share" for a path on a share.
AnsiString DriveOf(const AnsiString& folder);

struct TSpaceCheck {
    AnsiString Drive;
    std::uint64_t Needed = 0;            // the files plus the margin
    std::optional<std::uint64_t> Free;   // empty when the drive cannot tell
    // A drive that cannot tell is not refused: it may well have room.
    bool Enough() const { return !Free || *Free >= Needed; }
    std::uint64_t NeededMB() const { return (Needed + BytesPerMB - 1) / BytesPerMB; }
    std::uint64_t FreeMB() const { return Free ? *Free / BytesPerMB : 0; }
};

using TFreeSpaceQuery = std::function<std::optional<std::uint64_t>(const AnsiString& folder)>;
// `bytes` of files to go into `folder`, plus the margin, against its drive.
TSpaceCheck CheckFreeSpace(const AnsiString& folder, std::uint64_t bytes, const TFreeSpaceQuery& freeSpace = {});

struct TArchiveFile {
    AnsiString Name;          // as stored, "\" separated
    std::uint64_t Size = 0;   // unpacked
};

// What unpacking into `baseDir` means: every file it writes (full paths),
// those of them that exist now, and the room it takes beyond what the
// files it replaces hold already.
struct TUnpackPlan {
    std::vector<AnsiString> Targets;
    std::vector<AnsiString> Existing;
    std::uint64_t Bytes = 0;
};
TUnpackPlan PlanUnpack(const std::vector<TArchiveFile>& files, const AnsiString& baseDir);
// The files of an archive whose listing the component holds (folders left out).
std::vector<TArchiveFile> ArchiveFiles(const TCustomZipArchive& zip);
