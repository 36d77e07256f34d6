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
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zipcore {

class IArchiveFile {
public:
    virtual ~IArchiveFile() = default;
    virtual std::uint64_t Size() const = 0;
    // Exactly `count` bytes at `offset`, or false. Several threads read at
    // once: each entry's chain runs on a worker of its own.
    virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
};

class IOutputFile {
public:
    virtual ~IOutputFile() = default;
    // All of it, or false. One file is written by one thread at a time, but
    // files of several entries are written at once.
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

// Every call but Decode and ToAnsi may come from several threads at once.
class IEngineHost {
public:
    virtual ~IEngineHost() = default;

    // How many entries are worth extracting at once: the processors this
    // process may run on, or fewer where the caller keeps some for others.
    virtual unsigned Cores() = 0;
    // The processors this process may run on. While fewer chains than these
    // run, a large encrypted entry reads and decrypts ahead on one of them.
    virtual unsigned Processors() { return Cores(); }
    // Asked on the caller's thread: what each thread the engine starts for
    // the run does first (a host gives them the caller's priority there).
    virtual std::function<void()> ThreadStart() { return {}; }

    // Null when the archive cannot be opened or its size not be told.
    virtual std::unique_ptr<IArchiveFile> OpenArchive(const std::u16string& path) = 0;

    // A new file (`mustBeNew`: fail when one exists), or one created afresh.
    virtual std::unique_ptr<IOutputFile> CreateOutput(const std::u16string& path, bool mustBeNew) = 0;
    // Moves `from` over `to`, replacing it.
    virtual bool Replace(const std::u16string& from, const std::u16string& to) = 0;
    virtual bool Remove(const std::u16string& path) = 0;
    // One folder; its parent must exist.
    virtual TFolderResult MakeFolder(const std::u16string& path) = 0;
    // An empty folder; one that holds anything stays.
    virtual bool RemoveFolder(const std::u16string& path) = 0;
    virtual TTargetInfo Probe(const std::u16string& path, std::uint16_t dosDate, std::uint16_t dosTime) = 0;

    virtual std::u16string Decode(std::string_view bytes, TTextCode code) = 0;
    // The caller's texts (reports, names in messages) are in the ANSI code page.
    virtual std::string ToAnsi(std::u16string_view text) = 0;
};

} // namespace zipcore
