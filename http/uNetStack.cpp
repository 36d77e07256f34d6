#include "uNetStack.h"

#include "uNetGlobal.h"
#include "platform/uNetPlatform.h"
#include "platform/uSync.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace ws = platform::winsock;

// --- error texts ---------------------------------------------------------------

AnsiString TNetStack::SocketErrorDescription(int code)
{
    switch (code) {
    case 10004: return "Interrupted system call.";
    case 10009: return "Bad file number.";
    case 10013: return "Access denied.";
    case 10014: return "Buffer fault.";
    case 10022: return "Invalid argument.";
    case 10024: return "Too many open files.";
    case 10035: return "Operation would block.";
    case 10036: return "Operation now in progress.";
    case 10037: return "Operation already in progress.";
    case 10038: return "Socket operation on non-socket.";
    case 10039: return "Destination address required.";
    case 10040: return "Message too long.";
    case 10041: return "Protocol wrong type for socket.";
    case 10042: return "Bad protocol option.";
    case 10043: return "Protocol not supported.";
    case 10044: return "Socket type not supported.";
    case 10045: return "Operation not supported on socket.";
    case 10046: return "Protocol family not supported.";
    case 10047: return "Address family not supported by protocol family.";
    case 10048: return "Address already in use.";
    case 10049: return "Cannot assign requested address.";
    case 10050: return "Network is down.";
    case 10051: return "Network is unreachable.";
    case 10052: return "Net dropped connection or reset.";
    case 10053: return "Software caused connection abort.";
    case 10054: return "Connection reset by peer.";
    case 10055: return "No buffer space available.";
    case 10056: return "Socket is already connected.";
    case 10057: return "Socket is not connected.";
    case 10058: return "Cannot send or receive after socket is closed.";
    case 10059: return "Too many references, cannot splice.";
    case 10060: return "Connection timed out.";
    case 10061: return "Connection refused.";
    case 10062: return "Too many levels of symbolic links.";
    case 10063: return "File name too long.";
    case 10064: return "Host is down.";
    case 10065: return "No route to host.";
    case 10066: return "Directory not empty";
    default: return {};
    }
}

void TNetStack::RaiseSocketError(int code)
{
    AnsiString message = Format(netmsg::SocketError, code, SocketErrorDescription(code).c_str());
    if (code == 10038)
        throw ENetNotASocket(code, message);
    throw ENetSocketError(code, message);
}

// --- addresses -----------------------------------------------------------------

bool TNetStack::IsIPv4(const AnsiString& text) { return net::IsIPv4(text); }

namespace {

AnsiString AddressText(const ws::TAddress& address)
{
    const std::uint8_t* b = address.Bytes;
    if (address.Family == ws::TFamily::IPv4)
        return Format("%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    AnsiString r;
    for (int k = 0; k < 8; ++k)
        r += Format(k ? ":%x" : "%x", (b[2 * k] << 8) | b[2 * k + 1]);
    return r;
}

ws::TAddress AddressOf(const AnsiString& ip, TNetIPVersion version)
{
    ws::TAddress a;
    if (version == TNetIPVersion::Net_IPv6) {
        a.Family = ws::TFamily::IPv6;
        if (!net::ParseIPv6(ip, a.Bytes))
            TNetStack::RaiseSocketError(10049);
        return a;
    }
    if (!TNetStack::IsIPv4(ip))
        TNetStack::RaiseSocketError(10049);
    unsigned v[4];
    std::sscanf(ip.c_str(), "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]);
    for (int k = 0; k < 4; ++k)
        a.Bytes[k] = static_cast<std::uint8_t>(v[k]);
    return a;
}

ws::TFamily FamilyOf(TNetIPVersion version)
{
    return version == TNetIPVersion::Net_IPv6 ? ws::TFamily::IPv6 : ws::TFamily::IPv4;
}

} // namespace

AnsiString TNetStack::CanonicalIPv6(const AnsiString& text)
{
    ws::TAddress a;
    a.Family = ws::TFamily::IPv6;
    return net::ParseIPv6(text, a.Bytes) ? AddressText(a) : AnsiString();
}

AnsiString TNetStack::ResolveHost(const AnsiString& host, TNetIPVersion version)
{
    if (version == TNetIPVersion::Net_IPv4) {
        if (SameText(host, "LOCALHOST"))
            return "127.0.0.1";
        if (IsIPv4(host))
            return host;
        return HostByName(host);
    }
    if (version == TNetIPVersion::Net_IPv6) {
        AnsiString literal = CanonicalIPv6(host);
        if (!literal.empty())
            return literal;
        if (!SupportsIPv6())
            throw ENetIPv6Unavailable(netmsg::IPv6Unavailable);
        return HostByNameIPv6(host);
    }
    throw ENetIPVersionUnsupported(netmsg::IPVersionUnsupported);
}

// --- Windows Sockets -------------------------------------------------------------

namespace {
[[noreturn]] void StubError(const char* function, unsigned error)
{
    AnsiString title = Format(netmsg::StubCallFailed, function);
    throw ENetWinsockStubError(error, title, error ? title + ": " + SysErrorMessage(error) : title);
}
} // namespace

TNetStackWindows::TNetStackWindows()
{
    ws::SetStubErrorHandler(&StubError);
    static std::once_flag started;
    static bool startedOk = false;
    if (!ws::Loaded()) {
        unsigned error = 0;
        if (!ws::LoadSocketLibrary(LibraryName, error)) {
            AnsiString title = Format(netmsg::StubLoadFailed, LibraryName);
            throw ENetWinsockStubError(error, title, error ? title + ": " + SysErrorMessage(error) : title);
        }
    }
    // Started once for the life of the process, never cleaned up.
    std::call_once(started, [] { startedOk = ws::Startup(2, 2) == 0; });
    if (!startedOk)
        throw ENetStackInitializationFailed(netmsg::StackInitFailed);
}

void TNetStackWindows::RaiseLastError() { RaiseSocketError(ws::LastError()); }

int TNetStackWindows::Check(int result)
{
    if (result == -1)
        RaiseLastError();
    return result;
}

TNetStackSocketHandle TNetStackWindows::NewSocketHandle(TNetIPVersion version)
{
    if (version != TNetIPVersion::Net_IPv4 && version != TNetIPVersion::Net_IPv6)
        throw ENetIPVersionUnsupported(netmsg::IPVersionUnsupported);
    TNetStackSocketHandle s = ws::Socket(FamilyOf(version));
    if (s == NetInvalidSocket)
        RaiseLastError();
    // Wine gives a socket a small fixed receive queue, so every receive
    // takes a few dozen kilobytes and costs a round trip to its server; a
    // large queue lets each take up to a whole receive block. Set before
    // connecting, so the window scale offered covers it. Only a hint: the
    // system may cap it, and a refusal leaves the default.
    ws::SetReceiveBufferSize(s, ReceiveQueueSize);
    return s;
}

void TNetStackWindows::SetNoDelay(TNetStackSocketHandle s, bool noDelay) { Check(ws::SetNoDelay(s, noDelay)); }

bool TNetStackWindows::Bind(TNetStackSocketHandle s, const AnsiString& ip, int port, TNetIPVersion version)
{
    if (ip.empty()) {
        ws::TAddress any;
        any.Family = FamilyOf(version);
        return ws::Bind(s, &any, port) == 0;
    }
    ws::TAddress address = AddressOf(ip, version);
    return ws::Bind(s, &address, port) == 0;
}

void TNetStackWindows::Connect(TNetStackSocketHandle s, const AnsiString& ip, int port, TNetIPVersion version)
{
    Check(ws::Connect(s, AddressOf(ip, version), port));
}

void TNetStackWindows::GetSocketName(TNetStackSocketHandle s, AnsiString& ip, int& port)
{
    ws::TAddress a;
    Check(ws::LocalAddress(s, a, port));
    ip = AddressText(a);
}

void TNetStackWindows::GetPeerName(TNetStackSocketHandle s, AnsiString& ip, int& port)
{
    ws::TAddress a;
    Check(ws::PeerAddress(s, a, port));
    ip = AddressText(a);
}

bool TNetStackWindows::Readable(TNetStackSocketHandle s, int timeoutMs)
{
    std::vector<bool> readable;
    int r = Check(ws::SelectRead({s}, timeoutMs == NetTimeoutInfinite ? -1 : std::max(timeoutMs, 0), readable));
    return r > 0 && readable[0];
}

int TNetStackWindows::Receive(TNetStackSocketHandle s, void* buffer, int count) { return Check(ws::Recv(s, buffer, count)); }
int TNetStackWindows::PendingBytes(TNetStackSocketHandle s) { return ws::PendingBytes(s); }
void TNetStackWindows::SetReceiveTimeout(TNetStackSocketHandle s, int timeoutMs)
{
    Check(ws::SetReceiveTimeout(s, timeoutMs == NetTimeoutInfinite ? 0 : std::max(timeoutMs, 1)));
}
int TNetStackWindows::Send(TNetStackSocketHandle s, const void* buffer, int count) { return Check(ws::Send(s, buffer, count)); }
void TNetStackWindows::ShutdownSend(TNetStackSocketHandle s) { ws::ShutdownSend(s); }
void TNetStackWindows::Close(TNetStackSocketHandle s) { ws::Close(s); }
bool TNetStackWindows::SupportsIPv6() { return ws::AddressInfoAvailable(); }

AnsiString TNetStackWindows::HostByName(const AnsiString& host)
{
    ws::TAddress a;
    if (!ws::ResolveIPv4(host, a))
        RaiseLastError();
    return AddressText(a);
}

AnsiString TNetStackWindows::HostByNameIPv6(const AnsiString& host)
{
    ws::TAddress a;
    int error = 0;
    if (!ws::ResolveIPv6(host, a, error))
        RaiseSocketError(error ? error : ws::LastError());
    return AddressText(a);
}

// --- the one instance --------------------------------------------------------------

namespace {
platform::TLock GStackLock;
std::unique_ptr<TNetStack> GInstance;
int GStackUsers = 0;
} // namespace

TNetStack& GStack()
{
    // Components hold a reference; a bare call (tests, tools) makes one that lives on.
    if (!GInstance)
        NetStackAddRef();
    return *GInstance;
}

void NetStackAddRef()
{
    std::lock_guard<platform::TLock> lock(GStackLock);
    if (!GInstance)
        GInstance = std::make_unique<TNetStackWindows>();
    ++GStackUsers;
}

void NetStackRelease()
{
    std::lock_guard<platform::TLock> lock(GStackLock);
    if (GStackUsers > 0 && --GStackUsers == 0)
        GInstance.reset();
}

// --- socket lists --------------------------------------------------------------------

void TNetSocketList::Add(TNetStackSocketHandle s)
{
    if (!Contains(s))
        FSockets.push_back(s);
}

void TNetSocketList::Remove(TNetStackSocketHandle s) { std::erase(FSockets, s); }

bool TNetSocketList::Contains(TNetStackSocketHandle s) const
{
    return std::find(FSockets.begin(), FSockets.end(), s) != FSockets.end();
}

bool TNetSocketListWindows::SelectRead(int timeoutMs)
{
    std::vector<bool> readable;
    int r = ws::SelectRead(FSockets, timeoutMs == NetTimeoutInfinite ? -1 : std::max(timeoutMs, 0), readable);
    if (r == -1)
        TNetStack::RaiseSocketError(ws::LastError());
    std::vector<TNetStackSocketHandle> ready;
    for (size_t i = 0; i < FSockets.size(); ++i)
        if (readable[i])
            ready.push_back(FSockets[i]);
    FSockets.swap(ready);
    return r > 0;
}

// --- TNetSocketHandle ----------------------------------------------------------------

TNetSocketHandle::TNetSocketHandle(TCollection* collection) : TCollectionItem(collection) {}

TNetSocketHandle::~TNetSocketHandle()
{
    try {
        CloseSocket();
    } catch (...) {
        // Nothing may leave a destructor; the handle is given up either way.
    }
}

void TNetSocketHandle::Reset()
{
    CloseSocket();
    IP.clear();
    PeerIP.clear();
    Port = 0;
    PeerPort = 0;
}

void TNetSocketHandle::SetIPVersion(TNetIPVersion version)
{
    if (version == FIPVersion)
        return;
    if (HandleAllocated())
        throw ENetCannotSetIPVersionWhenConnected(netmsg::CannotSetIPVersion);
    if (version != TNetIPVersion::Net_IPv4 && version != TNetIPVersion::Net_IPv6)
        throw ENetIPVersionUnsupported(netmsg::IPVersionUnsupported);
    FIPVersion = version;
}

void TNetSocketHandle::AllocateSocket(TNetIPVersion version)
{
    CloseSocket();
    SetIPVersion(version);
    FHandle = GStack().NewSocketHandle(version);
    FReceiveTimeout = NetTimeoutInfinite;
}

void TNetSocketHandle::Bind()
{
    TNetStack& stack = GStack();
    if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
        if (!stack.Bind(Handle(), IP, Port, FIPVersion))
            throw ENetCouldNotBindSocket(netmsg::CouldNotBind);
    } else {
        if (ClientPortMax < ClientPortMin)
            throw ENetInvalidPortRange(Format(netmsg::InvalidPortRange, ClientPortMin, ClientPortMax));
        bool bound = false;
        for (int port = ClientPortMax; port >= ClientPortMin && !bound; --port)
            bound = stack.Bind(Handle(), IP, port, FIPVersion);
        if (!bound)
            throw ENetCanNotBindPortInRange(Format(netmsg::CanNotBindRange, ClientPortMin, ClientPortMax));
    }
    UpdateBindingLocal();
}

void TNetSocketHandle::SetPeer(const AnsiString& ip, int port)
{
    PeerIP = ip;
    PeerPort = port;
}

void TNetSocketHandle::Connect() { GStack().Connect(Handle(), PeerIP, PeerPort, FIPVersion); }

void TNetSocketHandle::UpdateBindingLocal() { GStack().GetSocketName(Handle(), IP, Port); }
void TNetSocketHandle::UpdateBindingPeer() { GStack().GetPeerName(Handle(), PeerIP, PeerPort); }

namespace {
thread_local std::function<void()> GWaitHook;
} // namespace

bool NetWaitHookActive() { return static_cast<bool>(GWaitHook); }

TNetWaitHookScope::TNetWaitHookScope(std::function<void()> hook) : FPrevious(std::move(GWaitHook))
{
    GWaitHook = std::move(hook);
}

TNetWaitHookScope::~TNetWaitHookScope() { GWaitHook = std::move(FPrevious); }

bool TNetSocketHandle::Readable(int timeoutMs)
{
    if (!HandleAllocated())
        throw ENetConnClosedGracefully(netmsg::ClosedGracefully);
    // Bytes already queued answer without a wait: under Wine asking the
    // socket's queue is the thread's own call, while a select is a request
    // its server holds, and one costs it milliseconds when the queue is full.
    if (GStack().PendingBytes(Handle()) > 0)
        return true;
    // A select leaves only the ready sockets in the list: each wait starts
    // from a list that holds this one.
    auto select = [this](int ms) {
        FReadList.Clear();
        FReadList.Add(Handle());
        return FReadList.SelectRead(ms);
    };
    if (!GWaitHook || (timeoutMs != NetTimeoutInfinite && timeoutMs <= NetWaitHookIntervalMs))
        return select(timeoutMs);
    // The same wait in slices, with the hook between them.
    const std::uint64_t started = platform::TickCountMs();
    for (;;) {
        int slice = NetWaitHookIntervalMs;
        if (timeoutMs != NetTimeoutInfinite) {
            const std::uint64_t waited = platform::TickCountMs() - started;
            if (waited >= static_cast<std::uint64_t>(timeoutMs))
                return false;
            slice = static_cast<int>(std::min<std::uint64_t>(slice, static_cast<std::uint64_t>(timeoutMs) - waited));
        }
        if (select(slice))
            return true;
        GWaitHook();
        if (!HandleAllocated())
            throw ENetConnClosedGracefully(netmsg::ClosedGracefully);
    }
}

int TNetSocketHandle::Receive(TNetBytes& buffer) { return Receive(buffer.data(), static_cast<int>(buffer.size())); }

int TNetSocketHandle::Receive(std::uint8_t* buffer, int count) { return GStack().Receive(Handle(), buffer, count); }

int TNetSocketHandle::ReceiveWaiting(std::uint8_t* buffer, int count, int timeoutMs)
{
    TNetStack& stack = GStack();
    if (timeoutMs != FReceiveTimeout) {
        stack.SetReceiveTimeout(Handle(), timeoutMs);
        FReceiveTimeout = timeoutMs;
    }
    try {
        return stack.Receive(Handle(), buffer, count);
    } catch (const ENetSocketError& e) {
        constexpr int timedOut = 10060; // WSAETIMEDOUT
        if (e.LastError() == timedOut && timeoutMs != NetTimeoutInfinite)
            throw ENetReadTimeout(netmsg::ReadTimeout);
        throw;
    }
}

int TNetSocketHandle::Send(const std::uint8_t* bytes, int count) { return GStack().Send(Handle(), bytes, count); }

void TNetSocketHandle::SetNoDelay(bool noDelay) { GStack().SetNoDelay(Handle(), noDelay); }

void TNetSocketHandle::CloseSocket()
{
    TNetStackSocketHandle s = FHandle.exchange(NetInvalidSocket);
    if (s == NetInvalidSocket)
        return;
    TNetStack& stack = GStack();
    stack.ShutdownSend(s);
    stack.Close(s);
}

// --- connect with a time limit --------------------------------------------------------

namespace {
struct TConnectSignal {
    platform::TLock Lock;
    platform::TSignal Done;
};
TConnectSignal GConnectSignal;
} // namespace

TNetConnectThread::TNetConnectThread(TNetSocketHandle& binding) : FBinding(binding)
{
    FThread = std::thread([this] {
        try {
            FBinding.Connect();
        } catch (const ENetSocketError& e) {
            FFailed = true;
            FErrorCode = e.LastError();
            FErrorMessage = e.Message();
            FErrorClass = e.ClassName();
        } catch (const Exception& e) {
            FFailed = true;
            FErrorMessage = e.Message();
            FErrorClass = e.ClassName();
        } catch (...) {
            FFailed = true;
        }
        std::lock_guard<platform::TLock> lock(GConnectSignal.Lock);
        FDone = true;
        GConnectSignal.Done.notify_all();
    });
}

TNetConnectThread::~TNetConnectThread() { Join(); }

bool TNetConnectThread::WaitFor(int timeoutMs)
{
    std::unique_lock<platform::TLock> lock(GConnectSignal.Lock);
    GConnectSignal.Done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FDone.load(); });
    return FDone.load();
}

void TNetConnectThread::Join()
{
    if (FThread.joinable())
        FThread.join();
}

void ConnectWithTimeout(TNetSocketHandle& binding, int timeoutMs, const std::function<void()>& closeHandler)
{
    constexpr int slice = 125;
    TNetConnectThread thread(binding);
    std::uint64_t started = platform::TickCountMs();
    for (;;) {
        if (thread.WaitFor(slice))
            break;
        if (timeoutMs >= 0 && platform::TickCountMs() - started >= static_cast<std::uint64_t>(timeoutMs))
            break;
        if (GWaitHook) {
            try {
                GWaitHook();
            } catch (...) {
                // The connect thread must not outlive the socket it uses.
                closeHandler();
                thread.Join();
                throw;
            }
        }
    }
    if (!thread.WaitFor(0)) {
        // Closing the socket makes the blocked connect return.
        closeHandler();
        thread.Join();
        throw ENetConnectTimeout(netmsg::ConnectTimeout);
    }
    thread.Join();
    if (thread.Failed()) {
        if (thread.ErrorCode() != 0)
            throw ENetSocketError(thread.ErrorCode(), thread.ErrorMessage());
        throw ENetConnectException(thread.ErrorMessage());
    }
}
