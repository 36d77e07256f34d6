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
    // Room for `count` bytes at the tail, for a receive to fill in place;
    // Appended then adds what it put there. Nothing is copied on the way.
    std::uint8_t* AppendSpace(int count);
    void Appended(int count);
    // Storage kept when the buffer shrinks: a reader that receives blocks of
    // this size does not allocate again for each.
    void KeepCapacity(int bytes) { FKeep = bytes; }
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
    // The same in one write, removed in pieces of at most `piece` bytes (a
    // remove event each): fewer system calls, the same events.
    void ExtractToStream(TStream& stream, int count, int piece);
    // Offset of `pattern` searched from `start`, -1 when absent.
    int IndexOf(const TNetBytes& pattern, int start = 0) const;
    int IndexOf(std::string_view pattern, int start = 0) const;

private:
    void CheckAvailable(int count) const;
    // At least `count` bytes free after the data, moving the data to the
    // front or growing the storage when there are not.
    void Reserve(int count);
    // What shrinking leaves: the data, a growth step, and at least FKeep.
    size_t KeptCapacity() const;

    TNetBytes FBytes;
    int FHead = 0;
    int FSize = 0;
    int FKeep = 0;
    TRemoveEvent FOnRemove;
};
