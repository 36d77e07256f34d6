#include "uWinsock.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>

#include "platform/shared/uSocketAddress.h"
#include "platform/uSystemProc.h"

namespace platform::winsock {

namespace {

std::atomic<HMODULE> GLibrary{nullptr};
// The IPv6 address functions of a system that has them in a helper library.
std::atomic<bool> GAddrInfoHelper{false};
constexpr const char* kAddrInfoHelper = "Wship6.dll";
std::atomic<TStubErrorHandler> GStubHandler{nullptr};

[[noreturn]] void StubError(const char* function, unsigned error)
{
    if (TStubErrorHandler handler = GStubHandler.load())
        handler(function, error);
    throw std::runtime_error(std::string("Winsock function unavailable: ") + function);
}

// One lazily resolved entry point; the address is kept after the first call.
template <class F> struct TProc {
    const char* Name;
    bool FromAddrInfoLibrary = false;
    std::atomic<F> Address{nullptr};

    F Get()
    {
        if (F f = Address.load(std::memory_order_acquire))
            return f;
        HMODULE module = GLibrary.load();
        if (!module)
            StubError(Name, ErrNotInitialised);
        auto f = FromAddrInfoLibrary && GAddrInfoHelper.load()
                     ? reinterpret_cast<F>(SystemProc(kAddrInfoHelper, Name))
                     : reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, Name)));
        if (!f)
            StubError(Name, ::GetLastError());
        Address.store(f, std::memory_order_release);
        return f;
    }
};

TProc<decltype(&::WSAStartup)> pWSAStartup{"WSAStartup"};
TProc<decltype(&::WSAGetLastError)> pWSAGetLastError{"WSAGetLastError"};
TProc<decltype(&::socket)> pSocket{"socket"};
TProc<decltype(&::setsockopt)> pSetSockOpt{"setsockopt"};
TProc<decltype(&::bind)> pBind{"bind"};
TProc<decltype(&::connect)> pConnect{"connect"};
TProc<decltype(&::getsockname)> pGetSockName{"getsockname"};
TProc<decltype(&::getpeername)> pGetPeerName{"getpeername"};
TProc<decltype(&::select)> pSelect{"select"};
TProc<decltype(&::recv)> pRecv{"recv"};
TProc<decltype(&::send)> pSend{"send"};
TProc<decltype(&::shutdown)> pShutdown{"shutdown"};
TProc<decltype(&::ioctlsocket)> pIoctlSocket{"ioctlsocket"};
TProc<decltype(&::closesocket)> pCloseSocket{"closesocket"};
TProc<decltype(&::gethostbyname)> pGetHostByName{"gethostbyname"};
TProc<decltype(&::__WSAFDIsSet)> pFDIsSet{"__WSAFDIsSet"};
TProc<decltype(&::getaddrinfo)> pGetAddrInfo{"getaddrinfo", true};
TProc<decltype(&::freeaddrinfo)> pFreeAddrInfo{"freeaddrinfo", true};

using detail::AddressOf;
using detail::StorageOf;

} // namespace

void SetStubErrorHandler(TStubErrorHandler handler) { GStubHandler.store(handler); }

bool LoadSocketLibrary(const char* name, unsigned& systemError)
{
    systemError = 0;
    if (GLibrary.load())
        return true;
    HMODULE module = ::LoadLibraryA(name);
    if (!module) {
        systemError = ::GetLastError();
        return false;
    }
    // Old systems carry the IPv6 address functions in a helper library;
    // neither current Windows nor Wine has it, and both export them here.
    GAddrInfoHelper.store(SystemProc(kAddrInfoHelper, "getaddrinfo") != nullptr);
    GLibrary.store(module);
    return true;
}

bool Loaded() { return GLibrary.load() != nullptr; }

int Startup(int major, int minor)
{
    WSADATA data;
    return pWSAStartup.Get()(MAKEWORD(major, minor), &data);
}

int LastError() { return pWSAGetLastError.Get()(); }

TSocket Socket(TFamily family)
{
    SOCKET s = pSocket.Get()(family == TFamily::IPv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return s == INVALID_SOCKET ? InvalidSocket : static_cast<TSocket>(s);
}

int SetNoDelay(TSocket s, bool noDelay)
{
    BOOL value = noDelay ? TRUE : FALSE;
    return pSetSockOpt.Get()(static_cast<SOCKET>(s), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&value), sizeof value);
}

int SetReceiveBufferSize(TSocket s, int bytes)
{
    return pSetSockOpt.Get()(static_cast<SOCKET>(s), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

int SetReceiveTimeout(TSocket s, int timeoutMs)
{
    DWORD value = static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 0);
    return pSetSockOpt.Get()(static_cast<SOCKET>(s), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value), sizeof value);
}

int Bind(TSocket s, const TAddress* address, int port)
{
    sockaddr_storage storage;
    TAddress any;
    int length = StorageOf(address ? *address : any, port, storage);
    return pBind.Get()(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&storage), length);
}

int Connect(TSocket s, const TAddress& address, int port)
{
    sockaddr_storage storage;
    int length = StorageOf(address, port, storage);
    return pConnect.Get()(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&storage), length);
}

int LocalAddress(TSocket s, TAddress& address, int& port)
{
    sockaddr_storage storage{};
    int length = sizeof storage;
    int r = pGetSockName.Get()(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&storage), &length);
    if (r == 0)
        AddressOf(storage, address, port);
    return r;
}

int PeerAddress(TSocket s, TAddress& address, int& port)
{
    sockaddr_storage storage{};
    int length = sizeof storage;
    int r = pGetPeerName.Get()(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&storage), &length);
    if (r == 0)
        AddressOf(storage, address, port);
    return r;
}

int SelectRead(const std::vector<TSocket>& sockets, int timeoutMs, std::vector<bool>& readable)
{
    readable.assign(sockets.size(), false);
    // fd_set is a counted array; size it for the sockets given.
    std::vector<std::uint8_t> storage(sizeof(u_int) + sizeof(SOCKET) * (sockets.size() + 1));
    auto* set = reinterpret_cast<fd_set*>(storage.data());
    set->fd_count = static_cast<u_int>(sockets.size());
    for (size_t i = 0; i < sockets.size(); ++i)
        set->fd_array[i] = static_cast<SOCKET>(sockets[i]);
    timeval tv{};
    timeval* limit = nullptr;
    if (timeoutMs >= 0) {
        tv.tv_sec = timeoutMs / 1000;
        tv.tv_usec = (timeoutMs % 1000) * 1000;
        limit = &tv;
    }
    int r = pSelect.Get()(0, set, nullptr, nullptr, limit);
    if (r > 0)
        for (size_t i = 0; i < sockets.size(); ++i)
            readable[i] = pFDIsSet.Get()(static_cast<SOCKET>(sockets[i]), set) != 0;
    return r;
}

int Recv(TSocket s, void* buffer, int count)
{
    return pRecv.Get()(static_cast<SOCKET>(s), static_cast<char*>(buffer), count, 0);
}

int PendingBytes(TSocket s)
{
    u_long pending = 0;
    if (pIoctlSocket.Get()(static_cast<SOCKET>(s), FIONREAD, &pending) != 0)
        return 0;
    return static_cast<int>(std::min<u_long>(pending, 0x7FFFFFFF));
}

int Send(TSocket s, const void* buffer, int count)
{
    return pSend.Get()(static_cast<SOCKET>(s), static_cast<const char*>(buffer), count, 0);
}

int ShutdownSend(TSocket s) { return pShutdown.Get()(static_cast<SOCKET>(s), SD_SEND); }
int Close(TSocket s) { return pCloseSocket.Get()(static_cast<SOCKET>(s)); }

bool ResolveIPv4(const std::string& name, TAddress& address)
{
    hostent* host = pGetHostByName.Get()(name.c_str());
    if (!host || host->h_addrtype != AF_INET || !host->h_addr_list || !host->h_addr_list[0])
        return false;
    address = TAddress{};
    std::memcpy(address.Bytes, host->h_addr_list[0], 4);
    return true;
}

bool AddressInfoAvailable()
{
    HMODULE module = GLibrary.load();
    if (!module)
        return false;
    if (GAddrInfoHelper.load())
        return SystemProc(kAddrInfoHelper, "getaddrinfo") && SystemProc(kAddrInfoHelper, "freeaddrinfo");
    return ::GetProcAddress(module, "getaddrinfo") && ::GetProcAddress(module, "freeaddrinfo");
}

bool ResolveIPv6(const std::string& name, TAddress& address, int& error)
{
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    error = pGetAddrInfo.Get()(name.c_str(), nullptr, &hints, &list);
    if (error != 0 || !list)
        return false;
    bool found = false;
    for (addrinfo* a = list; a && !found; a = a->ai_next) {
        if (a->ai_family == AF_INET6 && a->ai_addr) {
            address = TAddress{};
            address.Family = TFamily::IPv6;
            std::memcpy(address.Bytes, &reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr, 16);
            found = true;
        }
    }
    pFreeAddrInfo.Get()(list);
    return found;
}

} // namespace platform::winsock
