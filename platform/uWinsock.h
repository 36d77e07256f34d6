#pragma once
// Windows Sockets 2, bound at run time by name, as the download client needs
// it. Nothing of <winsock2.h> leaks out: a socket is an integer, an address is
// a family and 16 bytes. Failures return -1 (or false); LastError() tells why.
#include "platform/uOwner.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform::winsock {

using TSocket = std::uintptr_t;
inline constexpr TSocket InvalidSocket = ~TSocket(0);
inline constexpr unsigned ErrNotInitialised = 10093; // WSANOTINITIALISED

enum class TFamily { IPv4, IPv6 };

struct TAddress {
    TFamily Family = TFamily::IPv4;
    std::uint8_t Bytes[16] = {}; // IPv4 uses the first four, network order
};

// Called when a function is used before the library is loaded, or when the
// library lacks it. It must not return: the socket layer throws from it.
using TStubErrorHandler = void (*)(const char* function, unsigned error);
void SetStubErrorHandler(TStubErrorHandler handler);

// Loads the library once; false with the system error when it cannot.
bool LoadSocketLibrary(const char* name, unsigned& systemError);
bool Loaded();

int Startup(int major, int minor); // 0 or the error code
int LastError();

TSocket Socket(TFamily family); // a TCP stream socket, InvalidSocket on error
int SetNoDelay(TSocket s, bool noDelay);
// The size of the socket's receive queue, and so of the window the peer may
// fill between two receives.
int SetReceiveBufferSize(TSocket s, int bytes);
// A blocking receive that waits longer than timeoutMs (0: no limit) fails
// with WSAETIMEDOUT.
int SetReceiveTimeout(TSocket s, int timeoutMs);
int Bind(TSocket s, const TAddress* address, int port); // null address: any
int Connect(TSocket s, const TAddress& address, int port);
int LocalAddress(TSocket s, TAddress& address, int& port);
int PeerAddress(TSocket s, TAddress& address, int& port);
// Readability of the sockets within timeoutMs (-1: no limit). Returns the
// number of readable sockets, 0 on time-out, -1 on error; `readable` gets
// one flag per socket.
int SelectRead(const std::vector<TSocket>& sockets, int timeoutMs, std::vector<bool>& readable);
int Recv(TSocket s, void* buffer, int count);
// Bytes a receive would return at once (0 also when unknown or on error).
int PendingBytes(TSocket s);
int Send(TSocket s, const void* buffer, int count);
int ShutdownSend(TSocket s);
int Close(TSocket s);

// A socket's owner, closed through the loaded library.
struct TSocketTraits {
    using TValue = TSocket;
    static constexpr TSocket Invalid() noexcept { return InvalidSocket; }
    static void Close(TSocket s) noexcept
    {
        // A socket exists only once the library is loaded, so this cannot
        // fail for want of the function.
        try {
            winsock::Close(s);
        } catch (...) {
        }
    }
};
using TOwnedSocket = TOwner<TSocketTraits>;

// First IPv4 address of a name through the classic resolver.
bool ResolveIPv4(const std::string& name, TAddress& address);
// First IPv6 address of a name for a stream socket. The address-information
// functions come from "Wship6.dll" where it exists, else from the library.
bool AddressInfoAvailable();
bool ResolveIPv6(const std::string& name, TAddress& address, int& error);

} // namespace platform::winsock
