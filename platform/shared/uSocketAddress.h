#pragma once
// Socket addresses to and from TAddress, for both socket libraries: Winsock
// and POSIX give the address structures the same fields. Each implementation
// includes this after its own system headers. Ports are written byte by byte
// in network order, so neither library's byte-order helpers are needed.
#include "platform/uWinsock.h"

#include <cstdint>
#include <cstring>

namespace platform::winsock::detail {

inline void PutPort(void* field, int port)
{
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(port >> 8), static_cast<std::uint8_t>(port)};
    std::memcpy(field, bytes, 2);
}

inline int PortOf(const void* field)
{
    std::uint8_t bytes[2];
    std::memcpy(bytes, field, 2);
    return (bytes[0] << 8) | bytes[1];
}

// Fills `storage` and returns the length of the address in it.
inline int StorageOf(const TAddress& address, int port, sockaddr_storage& storage)
{
    std::memset(&storage, 0, sizeof storage);
    if (address.Family == TFamily::IPv6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
        a->sin6_family = AF_INET6;
        PutPort(&a->sin6_port, port);
        std::memcpy(&a->sin6_addr, address.Bytes, 16);
        return sizeof(sockaddr_in6);
    }
    auto* a = reinterpret_cast<sockaddr_in*>(&storage);
    a->sin_family = AF_INET;
    PutPort(&a->sin_port, port);
    std::memcpy(&a->sin_addr, address.Bytes, 4);
    return sizeof(sockaddr_in);
}

inline void AddressOf(const sockaddr_storage& storage, TAddress& address, int& port)
{
    address = TAddress{};
    if (storage.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&storage);
        address.Family = TFamily::IPv6;
        std::memcpy(address.Bytes, &a->sin6_addr, 16);
        port = PortOf(&a->sin6_port);
    } else {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&storage);
        std::memcpy(address.Bytes, &a->sin_addr, 4);
        port = PortOf(&a->sin_port);
    }
}

} // namespace platform::winsock::detail
