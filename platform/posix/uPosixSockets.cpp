// BSD sockets behind the Winsock wrapper's declarations, for the native
// build's HTTP tests. Errors are reported with their Winsock numbers, so the
// client's messages are the same on both platforms.
#include "platform/uWinsock.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/shared/uSocketAddress.h"

namespace platform::winsock {

namespace {

std::atomic<bool> GLoaded{false};
thread_local int GLastError = 0;

int WinsockError(int e)
{
    switch (e) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case EPIPE: return 10058; // the peer is gone: Winsock's "shut down"
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case EHOSTUNREACH: return 10065;
    default: return e;
    }
}

// Records errno as the Winsock error of the call; passes the result on.
int Checked(int result)
{
    if (result < 0)
        GLastError = WinsockError(errno);
    return result;
}

int Fd(TSocket s) { return static_cast<int>(s); }

using detail::AddressOf;
using detail::StorageOf;

bool Resolve(const std::string& name, int family, TAddress& address, int& error)
{
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    error = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (error != 0 || !list)
        return false;
    bool found = false;
    for (addrinfo* a = list; a && !found; a = a->ai_next) {
        if (a->ai_family != family || !a->ai_addr)
            continue;
        address = TAddress{};
        if (family == AF_INET6) {
            address.Family = TFamily::IPv6;
            std::memcpy(address.Bytes, &reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr, 16);
        } else {
            std::memcpy(address.Bytes, &reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr, 4);
        }
        found = true;
    }
    ::freeaddrinfo(list);
    return found;
}

} // namespace

void SetStubErrorHandler(TStubErrorHandler) {}

bool LoadSocketLibrary(const char*, unsigned& systemError)
{
    systemError = 0;
    GLoaded = true;
    return true;
}

bool Loaded() { return GLoaded; }
int Startup(int, int) { return 0; }
int LastError() { return GLastError; }

TSocket Socket(TFamily family)
{
    int fd = Checked(::socket(family == TFamily::IPv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
    return fd < 0 ? InvalidSocket : static_cast<TSocket>(fd);
}

int SetNoDelay(TSocket s, bool noDelay)
{
    int value = noDelay ? 1 : 0;
    return Checked(::setsockopt(Fd(s), IPPROTO_TCP, TCP_NODELAY, &value, sizeof value));
}

int SetReceiveBufferSize(TSocket s, int bytes)
{
    return Checked(::setsockopt(Fd(s), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes));
}

int SetReceiveTimeout(TSocket s, int timeoutMs)
{
    timeval value{};
    if (timeoutMs > 0) {
        value.tv_sec = timeoutMs / 1000;
        value.tv_usec = (timeoutMs % 1000) * 1000;
    }
    return Checked(::setsockopt(Fd(s), SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value));
}

int Bind(TSocket s, const TAddress* address, int port)
{
    sockaddr_storage storage;
    TAddress any;
    const auto length = static_cast<socklen_t>(StorageOf(address ? *address : any, port, storage));
    return Checked(::bind(Fd(s), reinterpret_cast<sockaddr*>(&storage), length));
}

int Connect(TSocket s, const TAddress& address, int port)
{
    sockaddr_storage storage;
    const auto length = static_cast<socklen_t>(StorageOf(address, port, storage));
    return Checked(::connect(Fd(s), reinterpret_cast<sockaddr*>(&storage), length));
}

int LocalAddress(TSocket s, TAddress& address, int& port)
{
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    int r = Checked(::getsockname(Fd(s), reinterpret_cast<sockaddr*>(&storage), &length));
    if (r == 0)
        AddressOf(storage, address, port);
    return r;
}

int PeerAddress(TSocket s, TAddress& address, int& port)
{
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    int r = Checked(::getpeername(Fd(s), reinterpret_cast<sockaddr*>(&storage), &length));
    if (r == 0)
        AddressOf(storage, address, port);
    return r;
}

int SelectRead(const std::vector<TSocket>& sockets, int timeoutMs, std::vector<bool>& readable)
{
    // poll, not select: descriptors above FD_SETSIZE must not overrun a set.
    std::vector<pollfd> fds(sockets.size());
    for (size_t i = 0; i < sockets.size(); ++i)
        fds[i] = {Fd(sockets[i]), POLLIN, 0};
    int r;
    do
        r = ::poll(fds.data(), fds.size(), timeoutMs < 0 ? -1 : timeoutMs);
    while (r < 0 && errno == EINTR);
    Checked(r);
    readable.assign(sockets.size(), false);
    if (r > 0)
        for (size_t i = 0; i < sockets.size(); ++i)
            readable[i] = (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    return r;
}

int Recv(TSocket s, void* buffer, int count)
{
    ssize_t n;
    do
        n = ::recv(Fd(s), buffer, static_cast<size_t>(count), 0);
    while (n < 0 && errno == EINTR);
    // The sockets block: "would block" is the receive time-out running out,
    // which Winsock reports as a time-out.
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        errno = ETIMEDOUT;
    return Checked(static_cast<int>(n));
}

int Send(TSocket s, const void* buffer, int count)
{
    // No SIGPIPE for a peer that is gone: the error comes back as on Windows.
    ssize_t n;
    do
        n = ::send(Fd(s), buffer, static_cast<size_t>(count), MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return Checked(static_cast<int>(n));
}

int PendingBytes(TSocket s)
{
    int pending = 0;
    return ::ioctl(Fd(s), FIONREAD, &pending) == 0 && pending > 0 ? pending : 0;
}

int ShutdownSend(TSocket s) { return Checked(::shutdown(Fd(s), SHUT_WR)); }
int Close(TSocket s) { return Checked(::close(Fd(s))); }

bool ResolveIPv4(const std::string& name, TAddress& address)
{
    int error = 0;
    return Resolve(name, AF_INET, address, error);
}

bool AddressInfoAvailable() { return true; }

bool ResolveIPv6(const std::string& name, TAddress& address, int& error)
{
    return Resolve(name, AF_INET6, address, error);
}

} // namespace platform::winsock
