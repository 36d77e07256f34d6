#pragma once
// The socket layer: one process-wide object over the platform's socket
// library (started once, reached through GStack), and the binding of one TCP
// socket that an I/O handler uses.
#include "uNetBuffer.h"
#include "uNetURI.h"

#include "platform/uWinsock.h"
#include "runtime/uClasses.h"

#include <atomic>
#include <memory>
#include <thread>

using TNetStackSocketHandle = platform::winsock::TSocket;
inline constexpr TNetStackSocketHandle NetInvalidSocket = platform::winsock::InvalidSocket;
// Waiting without a time limit.
inline constexpr int NetTimeoutInfinite = -2;

class TNetStack : public TObject {
    RT_CLASS(TNetStack, TObject)
public:
    ~TNetStack() override = default;

    virtual TNetStackSocketHandle NewSocketHandle(TNetIPVersion version) = 0;
    virtual void SetNoDelay(TNetStackSocketHandle s, bool noDelay) = 0;
    // False when the address or port cannot be bound; other errors raise.
    virtual bool Bind(TNetStackSocketHandle s, const AnsiString& ip, int port, TNetIPVersion version) = 0;
    virtual void Connect(TNetStackSocketHandle s, const AnsiString& ip, int port, TNetIPVersion version) = 0;
    virtual void GetSocketName(TNetStackSocketHandle s, AnsiString& ip, int& port) = 0;
    virtual void GetPeerName(TNetStackSocketHandle s, AnsiString& ip, int& port) = 0;
    // Readability within the time (NetTimeoutInfinite: no limit).
    virtual bool Readable(TNetStackSocketHandle s, int timeoutMs) = 0;
    virtual int Receive(TNetStackSocketHandle s, void* buffer, int count) = 0;
    // Bytes a Receive would return at once; 0 when there are none or it
    // cannot tell.
    virtual int PendingBytes(TNetStackSocketHandle s) = 0;
    // How long a blocking Receive waits (NetTimeoutInfinite: no limit).
    virtual void SetReceiveTimeout(TNetStackSocketHandle s, int timeoutMs) = 0;
    virtual int Send(TNetStackSocketHandle s, const void* buffer, int count) = 0;
    virtual void ShutdownSend(TNetStackSocketHandle s) = 0;
    virtual void Close(TNetStackSocketHandle s) = 0;
    virtual bool SupportsIPv6() = 0;

    // Literal addresses, "localhost" and names through the resolver.
    AnsiString ResolveHost(const AnsiString& host, TNetIPVersion version);
    static bool IsIPv4(const AnsiString& text);
    // The full eight-group form of an IPv6 literal, empty when it is none.
    static AnsiString CanonicalIPv6(const AnsiString& text);

    // "Socket Error # %d" CR LF and the description of the code.
    [[noreturn]] static void RaiseSocketError(int code);
    static AnsiString SocketErrorDescription(int code);

protected:
    virtual AnsiString HostByName(const AnsiString& host) = 0;
    virtual AnsiString HostByNameIPv6(const AnsiString& host) = 0;
};

class TNetStackBSDBase : public TNetStack {
    RT_CLASS(TNetStackBSDBase, TNetStack)
};

// The Windows Sockets 2 implementation, bound by name at run time.
class TNetStackWindows : public TNetStackBSDBase {
    RT_CLASS(TNetStackWindows, TNetStackBSDBase)
public:
    TNetStackWindows();

    static constexpr int ReceiveQueueSize = 8 << 20;

    TNetStackSocketHandle NewSocketHandle(TNetIPVersion version) override;
    void SetNoDelay(TNetStackSocketHandle s, bool noDelay) override;
    bool Bind(TNetStackSocketHandle s, const AnsiString& ip, int port, TNetIPVersion version) override;
    void Connect(TNetStackSocketHandle s, const AnsiString& ip, int port, TNetIPVersion version) override;
    void GetSocketName(TNetStackSocketHandle s, AnsiString& ip, int& port) override;
    void GetPeerName(TNetStackSocketHandle s, AnsiString& ip, int& port) override;
    bool Readable(TNetStackSocketHandle s, int timeoutMs) override;
    int Receive(TNetStackSocketHandle s, void* buffer, int count) override;
    int PendingBytes(TNetStackSocketHandle s) override;
    void SetReceiveTimeout(TNetStackSocketHandle s, int timeoutMs) override;
    int Send(TNetStackSocketHandle s, const void* buffer, int count) override;
    void ShutdownSend(TNetStackSocketHandle s) override;
    void Close(TNetStackSocketHandle s) override;
    bool SupportsIPv6() override;

    static constexpr const char* LibraryName = "WS2_32.DLL";

protected:
    AnsiString HostByName(const AnsiString& host) override;
    AnsiString HostByNameIPv6(const AnsiString& host) override;

private:
    [[noreturn]] void RaiseLastError();
    int Check(int result);
};

// The one socket layer; valid while a component of the subsystem lives.
TNetStack& GStack();
// Each component holds one reference for its life.
void NetStackAddRef();
void NetStackRelease();

// The sockets whose readability one select call asks for.
class TNetSocketList : public TObject {
    RT_CLASS(TNetSocketList, TObject)
public:
    void Add(TNetStackSocketHandle s);
    void Remove(TNetStackSocketHandle s);
    void Clear() { FSockets.clear(); }
    int Count() const { return static_cast<int>(FSockets.size()); }
    bool Contains(TNetStackSocketHandle s) const;
    // Keeps only the readable sockets; false on time-out.
    virtual bool SelectRead(int timeoutMs) = 0;

protected:
    std::vector<TNetStackSocketHandle> FSockets;
};

class TNetSocketListWindows : public TNetSocketList {
    RT_CLASS(TNetSocketListWindows, TNetSocketList)
public:
    bool SelectRead(int timeoutMs) override;
};

// One TCP socket with its local and peer address.
class TNetSocketHandle : public TCollectionItem {
    RT_CLASS(TNetSocketHandle, TCollectionItem)
public:
    explicit TNetSocketHandle(TCollection* collection = nullptr);
    ~TNetSocketHandle() override;

    void Reset();
    // A new stream socket; a previous one is closed first.
    void AllocateSocket(TNetIPVersion version);
    void Bind();
    void SetPeer(const AnsiString& ip, int port);
    void Connect();
    void UpdateBindingLocal();
    void UpdateBindingPeer();
    bool Readable(int timeoutMs);
    int Receive(TNetBytes& buffer);
    int Receive(std::uint8_t* buffer, int count);
    // Waits in the receive itself, up to timeoutMs (NetTimeoutInfinite: no
    // limit), instead of asking for readability first: one system call per
    // block. Running out of time raises ENetReadTimeout; the connection is
    // then of no further use.
    int ReceiveWaiting(std::uint8_t* buffer, int count, int timeoutMs);
    int Send(const std::uint8_t* bytes, int count);
    void SetNoDelay(bool noDelay);
    // Shuts down sending, then closes; closing twice does nothing.
    void CloseSocket();

    TNetStackSocketHandle Handle() const { return FHandle.load(); }
    bool HandleAllocated() const { return FHandle.load() != NetInvalidSocket; }
    TNetIPVersion IPVersion() const { return FIPVersion; }
    void SetIPVersion(TNetIPVersion version);

    AnsiString IP, PeerIP;
    int Port = 0, PeerPort = 0;
    int ClientPortMin = 0, ClientPortMax = 0;

private:
    std::atomic<TNetStackSocketHandle> FHandle{NetInvalidSocket};
    int FReceiveTimeout = NetTimeoutInfinite; // as set on the socket
    TNetIPVersion FIPVersion = TNetIPVersion::Net_IPv4;
    TNetSocketListWindows FReadList;
};

// Performs a blocking connect on its own thread so that the caller can give
// up after a time limit.
class TNetConnectThread : public TObject {
    RT_CLASS(TNetConnectThread, TObject)
public:
    explicit TNetConnectThread(TNetSocketHandle& binding);
    ~TNetConnectThread() override;

    bool WaitFor(int timeoutMs); // true when the connect has ended
    void Join();

    // Read after the thread has ended.
    int ErrorCode() const { return FErrorCode; }
    bool Failed() const { return FFailed; }
    const AnsiString& ErrorMessage() const { return FErrorMessage; }
    const AnsiString& ErrorClass() const { return FErrorClass; }

private:
    TNetSocketHandle& FBinding;
    std::atomic<bool> FDone{false};
    bool FFailed = false;
    int FErrorCode = 0;
    AnsiString FErrorMessage, FErrorClass;
    std::thread FThread;
};

// Connects the binding, giving up after timeoutMs (-1: no limit).
void ConnectWithTimeout(TNetSocketHandle& binding, int timeoutMs, const std::function<void()>& closeHandler);

// Called on the waiting thread about every NetWaitHookIntervalMs while one of
// its socket waits (readability, a timed connect) lasts, so that a program
// can keep its window alive during a transfer or abort it: whatever the hook
// throws ends the wait, the socket is closed by the layers above as after any
// failure. One hook per thread; the scope puts back the one before.
inline constexpr int NetWaitHookIntervalMs = 100;
// Whether this thread has a hook: its waits must then be sliced selects,
// never a receive that blocks.
bool NetWaitHookActive();
class TNetWaitHookScope {
public:
    explicit TNetWaitHookScope(std::function<void()> hook);
    ~TNetWaitHookScope();
    TNetWaitHookScope(const TNetWaitHookScope&) = delete;
    TNetWaitHookScope& operator=(const TNetWaitHookScope&) = delete;

private:
    std::function<void()> FPrevious;
};
