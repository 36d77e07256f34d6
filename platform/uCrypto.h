#pragma once
// Hashes and signature checks through the system's cryptography (Windows
// CNG). Nothing here implements an algorithm; it only hands bytes over.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace platform {

using TSha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 fed piece by piece, as bytes arrive.
class TSha256 {
public:
    TSha256();
    ~TSha256();
    TSha256(TSha256&&) noexcept;
    TSha256& operator=(TSha256&&) noexcept;
    TSha256(const TSha256&) = delete;
    TSha256& operator=(const TSha256&) = delete;

    void Update(const void* data, std::size_t count);
    // The digest of everything so far; the hash starts over afterwards.
    TSha256Digest Final();
    void Reset();

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};

TSha256Digest Sha256(std::span<const std::uint8_t> bytes);

// ECDSA over P-256: `publicPoint` is the uncompressed point (0x04, X, Y: 65
// bytes), `signature` the 64 bytes r and s, big-endian, `digest` the SHA-256
// of the signed bytes. False for any malformed input or a bad signature.
bool VerifyEcdsaP256(std::span<const std::uint8_t> publicPoint, const TSha256Digest& digest,
                     std::span<const std::uint8_t> signature);

} // namespace platform
