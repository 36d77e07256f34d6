#pragma once
// A whole file mapped read-only into memory. The view stays valid, and the
// file open for others to read, for as long as the object lives.
#include "uHandle.h"

#include <cstdint>
#include <string>

namespace platform {

class TMappedFile {
public:
    // Which step of opening failed, so callers can word their own message.
    enum class TStage { None, Open, Mapping, View };

    TMappedFile() = default;
    TMappedFile(TMappedFile&& other) noexcept;
    TMappedFile& operator=(TMappedFile&& other) noexcept;
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;
    ~TMappedFile();

    // Maps the whole file. On failure the result is empty, `failedStage` says
    // where it stopped and `osError` holds the system's error code.
    static TMappedFile Open(const std::string& path, TStage& failedStage, unsigned& osError);

    const std::uint8_t* Data() const { return FView; }
    std::uint64_t Size() const { return FSize; }
    explicit operator bool() const { return FView != nullptr; }

private:
    void Unmap();

    TOwnedHandle FFile;
    TOwnedHandle FMapping;
    const std::uint8_t* FView = nullptr;
    std::uint64_t FSize = 0;
};

} // namespace platform
