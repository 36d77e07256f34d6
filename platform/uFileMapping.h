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

    // The view and how many bytes it spans, which unmapping may need.
    struct TViewTraits {
        std::uint64_t Size = 0;
        using TValue = const std::uint8_t*;
        static constexpr const std::uint8_t* Invalid() noexcept { return nullptr; }
        void Close(const std::uint8_t* view) const noexcept;
    };


    // Maps the whole file. On failure the result is empty, `failedStage` says
    // where it stopped and `osError` holds the system's error code.
    static TMappedFile Open(const std::string& path, TStage& failedStage, unsigned& osError);

    const std::uint8_t* Data() const { return FView.Get(); }
    std::uint64_t Size() const { return FView ? FView.GetTraits().Size : 0; }
    explicit operator bool() const { return FView.Valid(); }

private:
    // Declared in the order they are made: the view goes before the mapping,
    // the mapping before the file.
    TOwnedHandle FFile;
    TOwnedHandle FMapping;
    TOwner<TViewTraits> FView;
};

} // namespace platform
