#pragma once
// The read stage: the archive file with every read checked against its
// size, its central directory as a list of entries, and where an entry's
// stored data begin. Reads only; any number of threads share one TArchive,
// each with its own window.
#include "uEngineHost.h"
#include "zip/uZipContract.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zipcore {

// Traditional PKWARE encryption puts 12 bytes before the stored data.
inline constexpr std::size_t kCryptHeader = 12;
inline constexpr std::uint64_t kBadOffset = ~std::uint64_t{0};

struct TEntry {
    std::uint16_t Flags = 0, Method = 0, Time = 0, Date = 0;
    std::uint32_t Crc = 0;
    std::uint64_t CompSize = 0, Size = 0;
    std::uint64_t LocalOffset = kBadOffset; // in the file, or kBadOffset
    std::u16string Name;    // as stored, "/" separated
    std::string AnsiName;   // for reports
    bool IsDir = false;

    bool Encrypted() const;
};

// One thread's window on the archive: the bytes at [Start, Start + Size).
// Small reads (headers, small entries) come from it: under Wine every read
// of the archive is a round trip to its server.
struct TReadWindow {
    std::vector<std::uint8_t> Bytes;
    std::uint64_t Start = 0;
    std::size_t Size = 0;
};

class TArchive {
public:
    TArchive(std::unique_ptr<IArchiveFile> file, std::uint64_t size) : FFile(std::move(file)), FSize(size) {}

    std::uint64_t Size() const { return FSize; }
    // Exactly `count` bytes at `offset`, all inside the archive.
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const;
    // The same through the calling thread's own window.
    bool ReadAt(TReadWindow& w, std::uint64_t offset, void* buffer, std::size_t count) const;
    // Where the entry's stored data begin: its local header, that start and
    // the stored data all lie inside the archive, or false.
    bool DataStart(TReadWindow& w, const TEntry& e, std::uint64_t& start) const;

private:
    std::unique_ptr<IArchiveFile> FFile;
    std::uint64_t FSize;
};

// Why an archive cannot be read, as the caller is told.
struct TArchiveError {
    zipeng::TEngineError Code = zipeng::eeNone;
    std::string Text;
};

// Opens the archive named (ANSI) `zipName` and reads its central directory
// into `entries`; null with `error` filled when it cannot.
std::unique_ptr<TArchive> OpenArchive(IEngineHost& host, const std::string& zipName, std::vector<TEntry>& entries,
                                      TArchiveError& error);

} // namespace zipcore
