#pragma once
// The engine core's host over POSIX files, for the native tests and fuzzers:
// "\" in the core's paths becomes "/", stored names decode as on a Western
// Windows (ANSI 1252, OEM 850, UTF-8).
#include "engine/core/uEngineHost.h"

#include <string>
#include <vector>

namespace zipcore {

class TPosixEngineHost : public IEngineHost {
public:
    // The processors this process may run on, unless `Threads` says.
    unsigned Cores() override;
    std::unique_ptr<IArchiveFile> OpenArchive(const std::u16string& path) override;
    std::unique_ptr<IOutputFile> CreateOutput(const std::u16string& path, bool mustBeNew) override;
    bool Replace(const std::u16string& from, const std::u16string& to) override;
    bool Remove(const std::u16string& path) override;
    TFolderResult MakeFolder(const std::u16string& path) override;
    bool RemoveFolder(const std::u16string& path) override;
    TTargetInfo Probe(const std::u16string& path, std::uint16_t dosDate, std::uint16_t dosTime) override;
    std::u16string Decode(std::string_view bytes, TTextCode code) override;
    std::string ToAnsi(std::u16string_view text) override;

    static std::string NativePath(const std::u16string& path);

    // How many entries at once, for the tests; 0: as many as Cores finds.
    unsigned Threads = 0;
};

// An archive held in memory; reads past its end fail.
class TMemoryArchive : public IArchiveFile {
public:
    explicit TMemoryArchive(std::vector<std::uint8_t> bytes) : FBytes(std::move(bytes)) {}
    std::uint64_t Size() const override { return FBytes.size(); }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;

private:
    std::vector<std::uint8_t> FBytes;
};

// The POSIX host, but every archive it opens is the one in memory.
class TMemoryArchiveHost : public TPosixEngineHost {
public:
    explicit TMemoryArchiveHost(std::vector<std::uint8_t> bytes) : FBytes(std::move(bytes)) {}
    std::unique_ptr<IArchiveFile> OpenArchive(const std::u16string&) override
    {
        return std::make_unique<TMemoryArchive>(FBytes);
    }

private:
    std::vector<std::uint8_t> FBytes;
};

} // namespace zipcore
