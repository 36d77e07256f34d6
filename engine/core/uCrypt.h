#pragma once
// The decrypt stage: traditional PKWARE decryption, and the one-byte check
// of a password against an entry's encryption header.
#include "uArchive.h"

#include <cstdint>
#include <string>

namespace zipcore {

// Three keys stepped by every plain byte. Each byte waits for the keys the
// byte before left, so one entry's decryption is one serial chain.
class TDecrypter {
public:
    explicit TDecrypter(const std::string& password);
    void Decrypt(std::uint8_t* data, std::size_t n);

private:
    void Update(std::uint8_t c);
    std::uint32_t FKeys[3] = {0x12345678, 0x23456789, 0x34567890};
};

// Whether `password` opens the entry whose encryption header this is. The
// last header byte is checked against the high byte of the CRC, or of the
// DOS time when the sizes follow the data, as Info-ZIP writes it.
bool PasswordFits(const TEntry& e, const std::uint8_t header[kCryptHeader], const std::string& password);

} // namespace zipcore
