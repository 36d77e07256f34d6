#include "uMoCatalog.h"

#include <bit>
#include <cstring>

bool TMoCatalog::Attach(std::span<const std::uint8_t> bytes)
{
    *this = TMoCatalog();
    if (bytes.size() < HeaderSize)
        return false;
    FBytes = bytes;
    std::uint32_t magic;
    std::memcpy(&magic, bytes.data(), 4);
    if (magic == MagicNative)
        FSwapBytes = false;
    else if (magic == MagicSwapped)
        FSwapBytes = true;
    else {
        FBytes = {};
        return false;
    }
    ReadWord(8, FEntryCount);
    ReadWord(12, FMsgidTableOffset);
    ReadWord(16, FMsgstrTableOffset);
    // Start at the largest power of two not above N and halve from there.
    FSearchStart = FEntryCount == 0 ? 0 : std::bit_floor(FEntryCount);
    FSearchStep = FSearchStart / 2;
    return true;
}

bool TMoCatalog::ReadWord(std::uint64_t offset, std::uint32_t& value) const
{
    if (offset > FBytes.size() || FBytes.size() - offset < 4)
        return false;
    std::memcpy(&value, FBytes.data() + offset, 4);
    if (FSwapBytes)
        value = __builtin_bswap32(value);
    return true;
}

bool TMoCatalog::ReadString(std::uint32_t table, std::uint32_t index, std::string_view& text) const
{
    std::uint64_t descriptor = std::uint64_t(table) + 8 * (std::uint64_t(index) - 1);
    std::uint32_t length, offset;
    if (!ReadWord(descriptor, length) || !ReadWord(descriptor + 4, offset))
        return false;
    if (offset > FBytes.size() || FBytes.size() - offset < length)
        return false;
    text = std::string_view(reinterpret_cast<const char*>(FBytes.data()) + offset, length);
    return true;
}

bool TMoCatalog::Lookup(std::string_view msgid, std::string& translation) const
{
    std::uint32_t idx = FSearchStart;
    std::uint32_t step = FSearchStep;
    while (FEntryCount != 0) {
        std::string_view entry;
        if (!ReadString(FMsgidTableOffset, idx, entry))
            break;
        int diff = 0;
        std::size_t common = std::min(msgid.size(), entry.size());
        for (std::size_t i = 0; i < common && diff == 0; ++i)
            diff = int(static_cast<unsigned char>(msgid[i])) - int(static_cast<unsigned char>(entry[i]));
        if (diff == 0 && msgid.size() != entry.size())
            diff = msgid.size() < entry.size() ? -1 : 1;
        if (diff == 0) {
            std::string_view found;
            if (!ReadString(FMsgstrTableOffset, idx, found))
                break;
            translation.assign(found);
            return true;
        }
        if (step == 0)
            break;
        if (diff < 0)
            idx = idx < step + 1 ? 1 : idx - step;
        else
            idx = std::uint64_t(idx) + step > FEntryCount ? FEntryCount : idx + step;
        step /= 2;
    }
    translation.assign(msgid);
    return false;
}
