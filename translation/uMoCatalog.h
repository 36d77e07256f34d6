#pragma once
// Lookups in a GNU MO message catalog held in memory. Pure byte logic, no
// system calls, so it can be fed any bytes (tests, fuzzing). Every number and
// string the catalog names is bounds-checked against the bytes given; an
// entry that points outside them counts as absent and is never read.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// True when a translation may stand in for its original as a printf pattern:
// both consume the same arguments in the same order (flags and widths may
// differ). For plural entries ("one\0many"), every form of the translation
// must consume the arguments of one of the original's forms, or leave out
// some at its end.
bool SameFormatConversions(std::string_view original, std::string_view translation);

class TMoCatalog {
public:
    static constexpr std::uint32_t MagicNative = 0x950412DE;
    static constexpr std::uint32_t MagicSwapped = 0xDE120495;
    static constexpr std::size_t HeaderSize = 20; // magic, revision, N, O, T

    // False when the bytes do not start with an MO header in either byte order.
    bool Attach(std::span<const std::uint8_t> bytes);

    // Exact match. Absent: returns false and leaves `translation` as the key.
    // A translation whose format conversions differ from its original's is
    // rejected when the catalog is attached and counts as absent: used as a
    // pattern it would read arguments that were never passed.
    bool Lookup(std::string_view msgid, std::string& translation) const;

    bool SwapBytes() const { return FSwapBytes; }
    std::uint32_t EntryCount() const { return FEntryCount; }
    std::uint32_t MsgidTableOffset() const { return FMsgidTableOffset; }
    std::uint32_t MsgstrTableOffset() const { return FMsgstrTableOffset; }
    std::uint32_t SearchStart() const { return FSearchStart; }
    std::uint32_t SearchStep() const { return FSearchStep; }
    std::size_t RejectedCount() const { return FRejected.size(); }

private:
    bool ReadWord(std::uint64_t offset, std::uint32_t& value) const;
    // The string of descriptor `index` (1-based) of the table at `table`.
    bool ReadString(std::uint32_t table, std::uint32_t index, std::string_view& text) const;

    std::span<const std::uint8_t> FBytes;
    bool FSwapBytes = false;
    std::uint32_t FEntryCount = 0;
    std::uint32_t FMsgidTableOffset = 0;
    std::uint32_t FMsgstrTableOffset = 0;
    std::uint32_t FSearchStart = 0;
    std::uint32_t FSearchStep = 0;
    std::vector<std::uint32_t> FRejected; // entry indices, ascending
};
