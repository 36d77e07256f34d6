#include "uNetIOHandler.h"

#include "uNetGlobal.h"
#include "uNetStack.h"
#include "platform/uNetPlatform.h"
#include "runtime/uStreams.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <limits>

// --- TNetIOHandler -------------------------------------------------------------

TNetIOHandler::TNetIOHandler(TComponent* owner) : TNetComponent(owner) {}

TNetIOHandler::~TNetIOHandler() = default;

void TNetIOHandler::Open()
{
    FOpened = true;
    FClosedGracefully = false;
    // Bytes left from an earlier connection must not leak into this one.
    FRecvBuffer.assign(static_cast<size_t>(std::max(RecvBufferSize, 1)), 0);
    FInputBuffer = std::make_unique<TNetBuffer>([this](int count) { DoWork(TWorkMode::WorkRead, count); });
    // Room for one receive block and what a read left over from the one before.
    FInputBuffer->KeepCapacity(std::max(RecvBufferSize, ReceiveBlockSize) + DefaultBufferSize);
}

void TNetIOHandler::Close()
{
    if (Intercept)
        Intercept->Disconnect();
    FOpened = false;
    FWriteBuffer.reset();
}

bool TNetIOHandler::Connected()
{
    return FOpened && (!FClosedGracefully || (FInputBuffer && FInputBuffer->Size() > 0));
}

AnsiString TNetIOHandler::Destination() const
{
    return Port > 0 ? Host + ":" + IntToStr(Port) : Host;
}

void TNetIOHandler::SetDestination(const AnsiString& destination)
{
    size_t colon = destination.rfind(':');
    int port;
    if (colon != AnsiString::npos && TryStrToInt(std::string_view(destination).substr(colon + 1), port)) {
        Host = destination.substr(0, colon);
        Port = port;
    } else {
        Host = destination;
    }
}

bool TNetIOHandler::CheckForDataOnSource(int timeout)
{
    if (!Connected())
        return false;
    int before = FInputBuffer->Size();
    ReadFromSource(false, timeout, false);
    return FInputBuffer->Size() > before;
}

AnsiString TNetIOHandler::ReadLn(std::string_view terminator, int timeout, int maxLineLength)
{
    if (terminator.empty())
        terminator = "\n";
    if (maxLineLength < 0)
        maxLineLength = MaxLineLength;
    FReadLnSplit = false;
    FReadLnTimedOut = false;
    std::uint64_t started = platform::TickCountMs();
    int searched = 0;
    const int m = maxLineLength;
    const int t = static_cast<int>(terminator.size());
    for (;;) {
        int found = -1;
        if (FInputBuffer && FInputBuffer->Size() > 0) {
            if (searched < FInputBuffer->Size())
                found = FInputBuffer->IndexOf(terminator, searched);
            // The next search resumes here; a terminator may straddle the end.
            searched = std::max(0, FInputBuffer->Size() - t + 1);
        }
        bool tooLong = m > 0 && (found > m || (found == -1 && FInputBuffer && FInputBuffer->Size() > m));
        if (tooLong) {
            if (MaxLineAction == TNetMaxLineAction::maException)
                throw ENetReadLnMaxLineLengthExceeded(netmsg::MaxLineLengthExceeded);
            FReadLnSplit = true;
            TNetBytes line = FInputBuffer->Extract(m);
            return AnsiString(line.begin(), line.end());
        }
        if (found >= 0) {
            TNetBytes line = FInputBuffer->Extract(found + t);
            line.resize(static_cast<size_t>(found));
            if (terminator == "\n" && !line.empty() && line.back() == '\r')
                line.pop_back();
            return AnsiString(line.begin(), line.end());
        }
        CheckForDisconnect(true, true);
        if (ReadFromSource(true, timeout, timeout == TimeoutDefault) == -1)
            FReadLnTimedOut = true;
        if (timeout >= 0 && platform::TickCountMs() - started >= static_cast<std::uint64_t>(timeout))
            FReadLnTimedOut = true;
        if (FReadLnTimedOut)
            return {};
    }
}

void TNetIOHandler::WaitForBytes(int count)
{
    while (FInputBuffer->Size() < count) {
        ReadFromSource(false, TimeoutDefault, true);
        CheckForDisconnect(true, true);
    }
}

void TNetIOHandler::ReadBytes(TNetBytes& bytes, int count, bool append)
{
    if (!append)
        bytes.clear();
    if (count > 0) {
        WaitForBytes(count);
        FInputBuffer->ExtractAppend(bytes, count);
    } else if (count == -1) {
        ReadFromSource(false, TimeoutDefault, false);
        CheckForDisconnect(true, true);
        FInputBuffer->ExtractAppend(bytes, -1);
    }
}

std::int32_t TNetIOHandler::ReadInt32()
{
    TNetBytes b;
    ReadBytes(b, 4, false);
    return static_cast<std::int32_t>((std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3]);
}

void TNetIOHandler::ReadStream(TStream& stream, std::int64_t count, bool readUntilDisconnect)
{
    if (count == -1 && !readUntilDisconnect)
        count = ReadInt32();
    // The stream grows as bytes arrive, never by the announced count: a server
    // may announce far more than it sends, and memory or disk must not follow.
    std::int64_t remaining = readUntilDisconnect ? std::numeric_limits<std::int64_t>::max() : std::max<std::int64_t>(count, 0);
    std::int32_t announced = readUntilDisconnect ? 0 : static_cast<std::int32_t>(std::min<std::int64_t>(remaining, std::numeric_limits<std::int32_t>::max()));
    BeginWork(TWorkMode::WorkRead, announced);
    try {
        const int piece = std::max(RecvBufferSize, 1);
        if (FInputBuffer && FInputBuffer->Size() > 0 && remaining > 0) {
            int k = static_cast<int>(std::min<std::int64_t>(FInputBuffer->Size(), remaining));
            FInputBuffer->ExtractToStream(stream, k, piece);
            remaining -= k;
        }
        const int chunk = static_cast<int>(std::min<std::int64_t>(remaining, piece));
        while (remaining > 0 && SourceOpen()) {
            int k = static_cast<int>(std::min<std::int64_t>(remaining, chunk));
            try {
                WaitForBytes(k);
            } catch (const Exception& e) {
                // What did arrive is kept, also when the failure passes on.
                k = std::min(k, FInputBuffer ? FInputBuffer->Size() : 0);
                if (k > 0)
                    FInputBuffer->ExtractToStream(stream, k);
                remaining -= k;
                if (readUntilDisconnect && e.Is<ENetConnClosedGracefully>())
                    break;
                throw;
            }
            // All whole pieces buffered go out in one write; the work events
            // stay one per piece.
            const std::int64_t buffered = FInputBuffer->Size();
            if (buffered >= remaining)
                k = static_cast<int>(remaining);
            else
                k = static_cast<int>(buffered / chunk * chunk);
            FInputBuffer->ExtractToStream(stream, k, chunk);
            remaining -= k;
        }
        // The peer may have closed with the last bytes already buffered.
        if (remaining > 0 && !readUntilDisconnect)
            throw ENetConnClosedGracefully(netmsg::ClosedGracefully);
    } catch (...) {
        EndWork(TWorkMode::WorkRead);
        if (stream.Position() < stream.Size())
            stream.SetSize(stream.Position());
        throw;
    }
    EndWork(TWorkMode::WorkRead);
    if (stream.Position() < stream.Size())
        stream.SetSize(stream.Position());
}

void TNetIOHandler::Write(const std::uint8_t* bytes, int count)
{
    if (count <= 0)
        return;
    if (FWriteBuffer) {
        FWriteBuffer->Write(bytes, count);
        if (FWriteBufferThreshold > 0 && FWriteBuffer->Size() >= FWriteBufferThreshold)
            WriteBufferFlush(FWriteBufferThreshold);
        return;
    }
    WriteDirect(bytes, count);
}

void TNetIOHandler::Write(const AnsiString& text)
{
    Write(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<int>(text.size()));
}

void TNetIOHandler::WriteLn(const AnsiString& text) { Write(text + "\r\n"); }

void TNetIOHandler::Write(TStream& stream, std::int64_t size, bool writeByteCount)
{
    if (size < 0) {
        size = stream.Size() - stream.Position();
    } else if (size == 0) {
        stream.SetPosition(0);
        size = stream.Size();
    }
    if (writeByteCount) {
        auto n = static_cast<std::uint32_t>(size);
        std::uint8_t prefix[4] = {std::uint8_t(n >> 24), std::uint8_t(n >> 16), std::uint8_t(n >> 8), std::uint8_t(n)};
        Write(prefix, 4);
    }
    BeginWork(TWorkMode::WorkWrite, static_cast<std::int32_t>(std::min<std::int64_t>(size, std::numeric_limits<std::int32_t>::max())));
    try {
        TNetBytes piece(static_cast<size_t>(std::max(SendBufferSize, 1)));
        while (size > 0) {
            int n = static_cast<int>(std::min<std::int64_t>(size, static_cast<std::int64_t>(piece.size())));
            std::int64_t got = stream.Read(piece.data(), n);
            if (got <= 0)
                throw ENetNoDataToRead(netmsg::NoDataToRead);
            Write(piece.data(), static_cast<int>(got));
            size -= got;
        }
    } catch (...) {
        EndWork(TWorkMode::WorkWrite);
        throw;
    }
    EndWork(TWorkMode::WorkWrite);
}

void TNetIOHandler::WriteBufferOpen(int threshold)
{
    FWriteBuffer = std::make_unique<TNetBuffer>();
    FWriteBufferThreshold = threshold;
}

void TNetIOHandler::WriteBufferFlush(int count)
{
    if (!FWriteBuffer || FWriteBuffer->Size() == 0)
        return;
    if (count < 0 || count > FWriteBuffer->Size())
        count = FWriteBuffer->Size();
    TNetBytes bytes = FWriteBuffer->Extract(count);
    WriteDirect(bytes.data(), static_cast<int>(bytes.size()));
}

void TNetIOHandler::WriteBufferClose()
{
    try {
        WriteBufferFlush();
    } catch (...) {
        FWriteBuffer.reset();
        throw;
    }
    FWriteBuffer.reset();
}

void TNetIOHandler::WriteBufferCancel() { FWriteBuffer.reset(); }

// --- TNetIOHandlerSocket ---------------------------------------------------------

TNetIOHandlerSocket::TNetIOHandlerSocket(TComponent* owner) : TNetIOHandler(owner) {}

TNetIOHandlerSocket::~TNetIOHandlerSocket()
{
    try {
        if (FBinding)
            FBinding->CloseSocket();
    } catch (...) {
        // Nothing may leave a destructor; the socket is gone either way.
    }
}

bool TNetIOHandlerSocket::BindingAllocated() const { return FBinding && FBinding->HandleAllocated(); }

void TNetIOHandlerSocket::Open()
{
    TNetIOHandler::Open();
    if (!FBinding)
        FBinding = std::make_unique<TNetSocketHandle>();
    FBinding->Reset();
    FBinding->ClientPortMin = BoundPortMin;
    FBinding->ClientPortMax = BoundPortMax;
    if (!Host.empty() && Port > 0)
        ConnectClient();
}

void TNetIOHandlerSocket::Close()
{
    if (FBinding)
        FBinding->CloseSocket();
    TNetIOHandler::Close();
}

void TNetIOHandlerSocket::ConnectClient()
{
    if (OnBeforeBind)
        OnBeforeBind(this);
    FBinding->AllocateSocket(IPVersion);
    FBinding->IP = BoundIP;
    FBinding->Port = BoundPort;
    FBinding->Bind();
    FBinding->SetNoDelay(!UseNagle);
    if (OnAfterBind)
        OnAfterBind(this);
}

// --- TNetIOHandlerStack ------------------------------------------------------------

void TNetIOHandlerStack::ConnectClient()
{
    TNetIOHandlerSocket::ConnectClient();
    TNetStack& stack = GStack();
    bool lookup = IPVersion == TNetIPVersion::Net_IPv4
                      ? !(SameText(Host, "LOCALHOST") || TNetStack::IsIPv4(Host))
                      : TNetStack::CanonicalIPv6(Host).empty();
    if (lookup)
        DoStatus(TNetStatus::hsResolving, Host);
    AnsiString ip = stack.ResolveHost(Host, IPVersion);
    FBinding->SetPeer(ip, Port);
    DoStatus(TNetStatus::hsConnecting, ip);
    if (ConnectTimeout != 0)
        ConnectWithTimeout(*FBinding, ConnectTimeout, [this] { Close(); });
    else
        FBinding->Connect();
    FBinding->UpdateBindingLocal();
    FBinding->UpdateBindingPeer();
    if (Intercept)
        Intercept->Connect(this);
    SpeedFloor.Start(platform::TickCountMs());
    DoStatus(TNetStatus::hsConnected, Host);
}

bool TNetIOHandlerStack::Readable(int timeoutMs) { return FBinding->Readable(timeoutMs); }

void TNetIOHandlerStack::CheckForDisconnect(bool raiseExceptionIfDisconnected, bool ignoreBuffer)
{
    bool disconnected;
    if (FClosedGracefully) {
        if (BindingAllocated()) {
            FBinding->CloseSocket();
            DoStatus(TNetStatus::hsDisconnected);
        }
        disconnected = true;
    } else {
        disconnected = !BindingAllocated();
    }
    if (disconnected && FInputBuffer && raiseExceptionIfDisconnected && (FInputBuffer->Size() == 0 || ignoreBuffer))
        throw ENetConnClosedGracefully(netmsg::ClosedGracefully);
}

int TNetIOHandlerStack::ReadFromSource(bool raiseExceptionIfDisconnected, int timeout, bool raiseOnTimeout)
{
    if (timeout == TimeoutDefault)
        timeout = ReadTimeout > 0 ? ReadTimeout : NetTimeoutInfinite;
    CheckForDisconnect(raiseExceptionIfDisconnected, false);
    if (!BindingAllocated()) {
        if (raiseExceptionIfDisconnected)
            throw ENetException(netmsg::NotConnected);
        return 0;
    }
    int received;
    do {
        if (Intercept && !Readable(timeout)) {
            if (raiseOnTimeout)
                throw ENetReadTimeout(netmsg::ReadTimeout);
            return -1;
        }
        if (!FOpened) {
            if (raiseExceptionIfDisconnected)
                throw ENetException(netmsg::NotConnected);
            received = 0;
        } else if (!BindingAllocated()) {
            throw ENetClosedSocket(netmsg::Disconnected);
        } else if (!Intercept) {
            // Straight into the input buffer, a large block at a time.
            const int block = std::max(RecvBufferSize, ReceiveBlockSize);
            std::uint8_t* tail = FInputBuffer->AppendSpace(block);
            received = ReceiveWithin(tail, block, timeout, raiseOnTimeout);
            if (received < 0) {
                FInputBuffer->Appended(0);
                return -1;
            }
            FInputBuffer->Appended(received);
        } else {
            FRecvBuffer.resize(static_cast<size_t>(std::max(RecvBufferSize, 1)));
            received = FBinding->Receive(FRecvBuffer);
            if (received > 0) {
                FRecvBuffer.resize(static_cast<size_t>(received));
                if (Intercept)
                    Intercept->Receive(FRecvBuffer);
                FInputBuffer->WriteTaking(FRecvBuffer);
            }
        }
        FClosedGracefully = received == 0;
        CheckForDisconnect(raiseExceptionIfDisconnected, false);
    } while (received == 0 && BindingAllocated());
    return received;
}

int TNetIOHandlerStack::ReceiveWithin(std::uint8_t* tail, int room, int timeout, bool raiseOnTimeout)
{
    const bool floor = raiseOnTimeout && SpeedFloor.Active();
    const int wait = floor ? SpeedFloor.Bound(timeout) : timeout;
    // A read that must wait, or fail, waits in the receive itself: under
    // Wine every socket call is a round trip to the server, and asking for
    // readability first doubles them. A poll (a time-out that does not
    // raise) still asks first, so the connection stays usable after it, and
    // so does a thread whose waits must let its window work in between.
    const bool waitInReceive =
        !Intercept && !NetWaitHookActive() && (wait == NetTimeoutInfinite || (raiseOnTimeout && wait > 0));
    const std::uint64_t started = platform::TickCountMs();
    for (;;) {
        int received = -1;
        if (waitInReceive) {
            try {
                received = FBinding->ReceiveWaiting(tail, room, wait);
            } catch (const ENetReadTimeout&) {
                if (!floor)
                    throw;
            }
        } else if (Readable(wait)) {
            received = FBinding->Receive(tail, room);
        }
        const std::uint64_t now = platform::TickCountMs();
        SpeedFloor.Received(received);
        // A close is reported as a close, not as a slow line.
        if (floor && received != 0 && SpeedFloor.Stalled(now))
            throw ENetReadTimeout(netmsg::ReadTimeout);
        if (received >= 0)
            return received;
        if (!floor || (timeout != NetTimeoutInfinite && now - started >= static_cast<std::uint64_t>(timeout))) {
            if (raiseOnTimeout)
                throw ENetReadTimeout(netmsg::ReadTimeout);
            return -1;
        }
    }
}

bool TNetIOHandlerStack::Connected()
{
    // Bytes the peer sent before closing still count; after our own Close
    // nothing does, or the next Connect would be refused.
    if (!FOpened)
        return false;
    if (FInputBuffer && FInputBuffer->Size() > 0)
        return true;
    if (BindingAllocated() && !FClosedGracefully)
        ReadFromSource(false, 0, false);
    return (FInputBuffer && FInputBuffer->Size() > 0) || (BindingAllocated() && !FClosedGracefully);
}

bool TNetIOHandlerStack::SourceOpen()
{
    return FOpened && ((FInputBuffer && FInputBuffer->Size() > 0) || (BindingAllocated() && !FClosedGracefully));
}

void TNetIOHandlerStack::WriteDirect(const std::uint8_t* bytes, int count)
{
    CheckForDisconnect(true, true);
    TNetBytes intercepted;
    if (Intercept) {
        intercepted.assign(bytes, bytes + count);
        Intercept->Send(intercepted);
        bytes = intercepted.data();
        count = static_cast<int>(intercepted.size());
    }
    if (!BindingAllocated())
        throw ENetNotConnected(netmsg::NotConnected);
    int offset = 0;
    while (offset < count) {
        if (!BindingAllocated())
            throw ENetNotConnected(netmsg::NotConnected);
        int sent = FBinding->Send(bytes + offset, count - offset);
        FClosedGracefully = sent == 0;
        CheckForDisconnect(true, false);
        DoWork(TWorkMode::WorkWrite, sent);
        offset += sent;
    }
}
