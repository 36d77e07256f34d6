#include "uNetBuffer.h"

#include "runtime/uStreams.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <cstring>
#include <limits>

void TNetBuffer::Write(const std::uint8_t* bytes, int count)
{
    if (count <= 0)
        return;
    std::memcpy(AppendSpace(count), bytes, static_cast<size_t>(count));
    FSize += count;
}

void TNetBuffer::Reserve(int count)
{
    if (static_cast<std::int64_t>(FSize) + count > std::numeric_limits<std::int32_t>::max())
        throw ENetTooMuchDataInBuffer(netmsg::TooMuchDataInBuffer);
    if (FSize == 0)
        FHead = 0;
    const size_t needed = static_cast<size_t>(count);
    if (FBytes.size() - static_cast<size_t>(FHead + FSize) >= needed)
        return;
    Compact(false);
    if (FBytes.size() - static_cast<size_t>(FSize) < needed)
        FBytes.resize(needed + static_cast<size_t>(FSize) + (FSize > 0 ? GrowthFactor : 0));
}

std::uint8_t* TNetBuffer::AppendSpace(int count)
{
    Reserve(std::max(count, 0));
    return FBytes.data() + FHead + FSize;
}

void TNetBuffer::Appended(int count)
{
    if (count > 0)
        FSize += std::min(count, Capacity() - FHead - FSize);
}

size_t TNetBuffer::KeptCapacity() const
{
    return std::max<size_t>(static_cast<size_t>(FSize) + GrowthFactor, static_cast<size_t>(FKeep));
}

void TNetBuffer::WriteTaking(TNetBytes& bytes)
{
    if (bytes.empty())
        return;
    if (FSize == 0) {
        if (bytes.size() > static_cast<size_t>(std::numeric_limits<std::int32_t>::max()))
            throw ENetTooMuchDataInBuffer(netmsg::TooMuchDataInBuffer);
        FBytes.swap(bytes);
        bytes.clear();
        FHead = 0;
        FSize = static_cast<int>(FBytes.size());
        return;
    }
    Write(bytes.data(), static_cast<int>(bytes.size()));
    bytes.clear();
}

void TNetBuffer::Compact(bool shrink)
{
    if (FHead > 0) {
        std::memmove(FBytes.data(), FBytes.data() + FHead, static_cast<size_t>(FSize));
        FHead = 0;
    }
    const size_t kept = KeptCapacity();
    if (shrink && FBytes.size() > kept) {
        FBytes.resize(kept);
        FBytes.shrink_to_fit();
    }
}

void TNetBuffer::Clear()
{
    FBytes.clear();
    FHead = 0;
    FSize = 0;
}

void TNetBuffer::Remove(int count)
{
    if (count <= 0)
        return;
    if (count < FSize) {
        FHead += count;
        FSize -= count;
        // Moving the rest to the front pays off only after a good part was
        // read, and only when it gives memory back: the move costs no more
        // than what was read. Otherwise the next append makes room.
        if (FHead > GrowthFactor && FSize <= FHead && FBytes.size() > KeptCapacity())
            Compact(true);
    } else {
        count = std::min(count, FSize);
        FHead = 0;
        FSize = 0;
    }
    if (FOnRemove)
        FOnRemove(count);
}

void TNetBuffer::CheckAvailable(int count) const
{
    if (count > FSize)
        throw ENetNotEnoughDataInBuffer(Format("%s (%d/%d)", netmsg::NotEnoughDataInBuffer, count, FSize));
}

TNetBytes TNetBuffer::Extract(int count)
{
    TNetBytes result;
    ExtractAppend(result, count);
    return result;
}

void TNetBuffer::ExtractAppend(TNetBytes& destination, int count)
{
    if (count == -1)
        count = FSize;
    CheckAvailable(count);
    if (count < 1)
        return;
    destination.insert(destination.end(), Data(), Data() + count);
    Remove(count);
}

void TNetBuffer::ExtractToStream(TStream& stream, int count)
{
    ExtractToStream(stream, count, count == -1 ? FSize : count);
}

void TNetBuffer::ExtractToStream(TStream& stream, int count, int piece)
{
    if (count == -1)
        count = FSize;
    CheckAvailable(count);
    if (count < 1)
        return;
    stream.WriteBuffer(Data(), count);
    piece = std::max(piece, 1);
    for (int left = count; left > 0; left -= piece)
        Remove(std::min(left, piece));
}

int TNetBuffer::IndexOf(std::string_view pattern, int start) const
{
    return IndexOf(TNetBytes(pattern.begin(), pattern.end()), start);
}

int TNetBuffer::IndexOf(const TNetBytes& pattern, int start) const
{
    if (pattern.empty())
        throw ENetException(netmsg::BufferTerminatorMissing);
    if (FSize == 0)
        return -1;
    if (start < 0 || start >= FSize)
        throw ENetException(netmsg::BufferStartInvalid);
    const std::uint8_t* begin = Data();
    const std::uint8_t* end = begin + FSize;
    const std::uint8_t* at = std::search(begin + start, end, pattern.begin(), pattern.end());
    return at == end ? -1 : static_cast<int>(at - begin);
}
