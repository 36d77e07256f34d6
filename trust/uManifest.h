#pragma once
// The signed component list of the download server: "manifest.txt", an
// optional first line "serial N" (the list's edition, so that an old signed
// list cannot be replayed), then one line per file, "SHA256-HEX SIZE NAME";
// and "manifest.sig", the DER-encoded ECDSA P-256 signature of its bytes. The parsers here are pure byte logic,
// strict and bounded, so that hostile bytes can be fed to them (fuzzing).
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct TManifestEntry {
    std::array<std::uint8_t, 32> Sha256{};
    std::uint64_t Size = 0;
};

class TManifest {
public:
    static constexpr std::size_t MaxBytes = 64 * 1024;
    static constexpr std::size_t MaxLines = 256;
    static constexpr std::size_t MaxNameLength = 128;
    // A size above this is no component of ours (and no 64-bit overflow).
    static constexpr std::uint64_t MaxSize = std::uint64_t(1) << 40;
    // Decimal digits of a serial: any such number fits 64 bits.
    static constexpr std::size_t MaxSerialDigits = 18;

    // Parses the whole text; on failure returns nullopt and says why in
    // `error` (for logs and tests; the user sees the file's name).
    static std::optional<TManifest> Parse(std::string_view text, std::string& error);

    const TManifestEntry* Find(std::string_view name) const;
    std::size_t Count() const { return FEntries.size(); }
    // The list's serial; none when it has no "serial" line.
    std::optional<std::uint64_t> Serial() const { return FSerial; }

private:
    std::map<std::string, TManifestEntry, std::less<>> FEntries;
    std::optional<std::uint64_t> FSerial;
};

// A list may be used when its serial (0 without one) is neither below the
// build's minimum nor below the highest serial accepted before: an older
// list, though signed, may name components with known faults.
bool ListSerialAcceptable(std::optional<std::uint64_t> serial, std::uint64_t minimum, std::uint64_t remembered);

// DER "SEQUENCE { INTEGER r, INTEGER s }" (what openssl dgst -sign writes for
// an EC key) to the 64 bytes r and s, big-endian, that CNG verifies. Only the
// strict, minimal encoding is accepted.
std::optional<std::array<std::uint8_t, 64>> EcdsaSignatureFromDer(std::span<const std::uint8_t> der);
