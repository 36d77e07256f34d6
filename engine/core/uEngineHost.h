#pragma once
// What the engine core needs from the system: the archive to read, the files
// and folders to write, and the code pages of stored names. ZipEng179.dll
// implements it over Win32; the native build over POSIX and memory, so the
// same extraction runs under sanitizers and fuzzers.
//
// Paths are UTF-16 with "\" between folders, as the core builds them from
// the extraction folder and the stored names.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zipcore {

class IArchiveFile {
public:
    virtual ~IArchiveFile() = default;
    virtual std::uint64_t Size() const = 0;
    // Exactly `count` bytes at `offset`, or false. Two threads may read at
    // once: the core reads ahead on a second one.
    virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
};

class IOutputFile {
public:
    virtual ~IOutputFile() = default;
    // All of it, or false.
    virtual bool Write(const void* data, std::size_t count) = 0;
    // The stored MS-DOS date and time (local time) as the modification time.
    virtual bool SetTime(std::uint16_t dosDate, std::uint16_t dosTime) = 0;
    virtual bool Close() = 0;
};

enum class TFolderResult { Made, Exists, NoParent, Failed };

// What is at a target path, and whether it is older than a stored time.
struct TTargetInfo {
    bool Exists = false;
    bool IsFolder = false;
    bool OlderThanEntry = false;
};

// How stored bytes are to be read.
enum class TTextCode { Ansi, Oem, Utf8 };

class IEngineHost {
public:
    virtual ~IEngineHost() = default;

    // Null when the archive cannot be opened or its size not be told.
    virtual std::unique_ptr<IArchiveFile> OpenArchive(const std::u16string& path) = 0;

    // A new file (`mustBeNew`: fail when one exists), or one created afresh.
    virtual std::unique_ptr<IOutputFile> CreateOutput(const std::u16string& path, bool mustBeNew) = 0;
    // A new file the caller knows no other name in its folder matches, not
    // even in another case (the folder is this run's own): the system may
    // skip its search for such a name. Null when that cannot be done here;
    // the caller then uses CreateOutput.
    virtual std::unique_ptr<IOutputFile> CreateFreshOutput(const std::u16string&) { return nullptr; }
    // Moves `from` over `to`, replacing it.
    virtual bool Replace(const std::u16string& from, const std::u16string& to) = 0;
    virtual bool Remove(const std::u16string& path) = 0;
    // One folder; its parent must exist.
    virtual TFolderResult MakeFolder(const std::u16string& path) = 0;
    virtual TTargetInfo Probe(const std::u16string& path, std::uint16_t dosDate, std::uint16_t dosTime) = 0;

    virtual std::u16string Decode(std::string_view bytes, TTextCode code) = 0;
    // The caller's texts (reports, names in messages) are in the ANSI code page.
    virtual std::string ToAnsi(std::u16string_view text) = 0;
};

} // namespace zipcore
