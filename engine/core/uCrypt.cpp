#include "uCrypt.h"

#include "ziprecords/uZipRecords.h"

#include <zlib.h>

#include <cstring>

namespace zipcore {

namespace {

// The keystream's factors come straight from a table lookup (the "| 2"
// folded into the table and the key before), and only the low byte of key 0
// that key 1 needs is looked up for it, as a whole word so that no byte
// operation joins the chain: that keeps the chain short.
struct TTables {
    const z_crc_t* Crc;
    std::uint32_t CrcNot2[256]; // with bit 1 clear: (a ^ b) | 2 == (a & ~2) ^ (b | 2)
    std::uint32_t CrcLow[256];  // the low byte alone
};

const TTables& Tables()
{
    static const TTables tables = [] {
        TTables t{};
        t.Crc = get_crc_table();
        for (int i = 0; i < 256; ++i) {
            t.CrcNot2[i] = static_cast<std::uint32_t>(t.Crc[i]) & ~2u;
            t.CrcLow[i] = static_cast<std::uint32_t>(t.Crc[i]) & 0xFF;
        }
        return t;
    }();
    return tables;
}

} // namespace

TDecrypter::TDecrypter(const std::string& password)
{
    for (unsigned char c : password)
        Update(c);
}

void TDecrypter::Update(std::uint8_t c)
{
    const z_crc_t* table = Tables().Crc;
    FKeys[0] = table[(FKeys[0] ^ c) & 0xFF] ^ (FKeys[0] >> 8);
    FKeys[1] = (FKeys[1] + (FKeys[0] & 0xFF)) * 134775813 + 1;
    FKeys[2] = table[(FKeys[2] ^ (FKeys[1] >> 24)) & 0xFF] ^ (FKeys[2] >> 8);
}

void TDecrypter::Decrypt(std::uint8_t* data, std::size_t n)
{
    const TTables& tables = Tables();
    const z_crc_t* crc = tables.Crc;
    std::uint32_t k0 = FKeys[0], k1 = FKeys[1], k2 = FKeys[2];
    // The keystream byte is bits 8..15 of t * (t ^ 1), t = k2 | 2; only the
    // low 16 bits of the factors reach those bits. Each byte's keys wait on
    // the byte before, so what counts is the longest path from one t to the
    // next: both factors come straight from the table lookup, and key 0's
    // index is taken from the product's second byte without a shift.
    std::uint32_t t = k2 | 2, t1 = t ^ 1;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t x = data[i];
        const std::uint32_t product = t * t1;
        data[i] = static_cast<std::uint8_t>((product >> 8) ^ x);
        const std::uint32_t i0 = ((product ^ ((x ^ k0) << 8)) >> 8) & 0xFF;
        const std::uint32_t low0 = tables.CrcLow[i0] ^ ((k0 >> 8) & 0xFF);
        k0 = crc[i0] ^ (k0 >> 8);
        k1 = (k1 + low0) * 134775813 + 1;
        const std::uint32_t i2 = (k1 >> 24) ^ (k2 & 0xFF);
        const std::uint32_t shifted = k2 >> 8;
        k2 = crc[i2] ^ shifted;
        const std::uint32_t factor = tables.CrcNot2[i2];
        std::uint32_t other = (shifted | 2) ^ 1;
        // Kept apart: folded back into t ^ 1, it would wait for t.
        __asm__("" : "+r"(other));
        t = factor ^ (shifted | 2);
        t1 = factor ^ other;
    }
    FKeys[0] = k0, FKeys[1] = k1, FKeys[2] = k2;
}

bool PasswordFits(const TEntry& e, const std::uint8_t header[kCryptHeader], const std::string& password)
{
    std::uint8_t check = (e.Flags & ziprec::kFlagDescriptor) ? static_cast<std::uint8_t>(e.Time >> 8)
                                                             : static_cast<std::uint8_t>(e.Crc >> 24);
    std::uint8_t h[kCryptHeader];
    std::memcpy(h, header, kCryptHeader);
    TDecrypter(password).Decrypt(h, kCryptHeader);
    return h[kCryptHeader - 1] == check;
}

} // namespace zipcore
