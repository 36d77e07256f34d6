#pragma once
// A growable byte queue: bytes are appended at the tail and taken from the
// head. Every removal is reported to a callback (the work events of a read).
#include "uNetException.h"

#include <cstdint>
#include <functional>
#include <vector>

class TStream;

using TNetBytes = std::vector<std::uint8_t>;

class TNetBuffer : public TObject {
    RT_CLASS(TNetBuffer, TObject)
public:
    static constexpr int GrowthFactor = 2048;
    using TRemoveEvent = std::function<void(int count)>;

    explicit TNetBuffer(TRemoveEvent onRemove = {}) : FOnRemove(std::move(onRemove)) {}

    int Size() const { return FSize; }
    const std::uint8_t* Data() const { return FBytes.data() + FHead; }
    std::uint8_t Peek(int index) const { return FBytes[static_cast<size_t>(FHead + index)]; }
    int Capacity() const { return static_cast<int>(FBytes.size()); }

    void Write(const std::uint8_t* bytes, int count);
    // Appends a received array. An empty buffer takes it over and hands its
    // own storage back in `bytes`, so steady reading allocates nothing.
    void WriteTaking(TNetBytes& bytes);
    void Remove(int count);
    void Clear();
    void Compact(bool shrink);
    // Takes `count` bytes (-1: all) from the head.
    TNetBytes Extract(int count = -1);
    void ExtractAppend(TNetBytes& destination, int count);
    // Writes `count` bytes from the head into the stream and removes them.
    void ExtractToStream(TStream& stream, int count);
    // Offset of `pattern` searched from `start`, -1 when absent.
    int IndexOf(const TNetBytes& pattern, int start = 0) const;
    int IndexOf(std::string_view pattern, int start = 0) const;

private:
    void CheckAvailable(int count) const;

    TNetBytes FBytes;
    int FHead = 0;
    int FSize = 0;
    TRemoveEvent FOnRemove;
};
