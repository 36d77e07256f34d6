#pragma once
// Buffered reading and writing over a connection: lines, counted and
// until-close reads into streams, and a write buffer. TNetIOHandler works on
// an abstract source; TNetIOHandlerStack is the socket implementation.
#include "uNetBuffer.h"
#include "uNetComponent.h"
#include "uNetSpeedFloor.h"
#include "uNetURI.h"

#include <memory>

class TStream;
class TNetSocketHandle;

enum class TNetMaxLineAction { maException, maSplit };

// Sees the bytes of a connection as they pass (none on the download path).
class TNetConnectionIntercept : public TNetComponent {
    RT_CLASS(TNetConnectionIntercept, TNetComponent)
public:
    using TNetComponent::TNetComponent;
    virtual void Connect(TComponent* connection) {}
    virtual void Disconnect() {}
    virtual void Receive(TNetBytes& bytes) {}
    virtual void Send(TNetBytes& bytes) {}
};

class TNetIOHandler : public TNetComponent {
    RT_CLASS(TNetIOHandler, TNetComponent)
public:
    static constexpr int DefaultMaxLineLength = 16384;
    static constexpr int DefaultBufferSize = 32768;
    // The handler's own ReadTimeout applies.
    static constexpr int TimeoutDefault = -1;

    explicit TNetIOHandler(TComponent* owner);
    ~TNetIOHandler() override;

    virtual void Open();
    virtual void Close();
    virtual bool Connected();
    virtual void CheckForDisconnect(bool raiseExceptionIfDisconnected = true, bool ignoreBuffer = false) = 0;
    // Reads what arrives within the timeout into the InputBuffer: the byte
    // count, 0 when disconnected without raising, -1 on time-out.
    virtual int ReadFromSource(bool raiseExceptionIfDisconnected, int timeout, bool raiseOnTimeout) = 0;
    virtual void WriteDirect(const std::uint8_t* bytes, int count) = 0;
    bool CheckForDataOnSource(int timeout);

    AnsiString ReadLn(std::string_view terminator = "\n", int timeout = TimeoutDefault, int maxLineLength = -1);
    void ReadBytes(TNetBytes& bytes, int count, bool append = true);
    std::int32_t ReadInt32();
    // Appends `count` bytes (-1: a 4-byte count read first) to the stream, or
    // everything until the peer closes.
    void ReadStream(TStream& stream, std::int64_t count = -1, bool readUntilDisconnect = false);

    void Write(const AnsiString& text);
    void Write(const std::uint8_t* bytes, int count);
    void WriteLn(const AnsiString& text = {});
    // size < 0: from the position to the end; 0: the whole stream.
    void Write(TStream& stream, std::int64_t size = 0, bool writeByteCount = false);
    void WriteBufferOpen(int threshold = -1);
    void WriteBufferClose();
    void WriteBufferCancel();
    void WriteBufferFlush(int count = -1);
    bool WriteBufferingActive() const { return FWriteBuffer != nullptr; }

    TNetBuffer& InputBuffer() { return *FInputBuffer; }
    bool HasInputBuffer() const { return FInputBuffer != nullptr; }

    AnsiString Host;
    int Port = 0;
    AnsiString Destination() const;
    void SetDestination(const AnsiString& destination);
    TNetConnectionIntercept* Intercept = nullptr;
    int MaxLineLength = DefaultMaxLineLength;
    TNetMaxLineAction MaxLineAction = TNetMaxLineAction::maException;
    // The most a read takes from the input buffer at once (a work event each).
    int RecvBufferSize = DefaultBufferSize;
    // The most one receive asks the system for.
    static constexpr int ReceiveBlockSize = 1 << 20;
    int SendBufferSize = DefaultBufferSize;
    int ConnectTimeout = 0;
    int MaxCapturedLines = -1;

    bool Opened() const { return FOpened; }
    bool ClosedGracefully() const { return FClosedGracefully; }
    bool ReadLnSplit() const { return FReadLnSplit; }
    bool ReadLnTimedOut() const { return FReadLnTimedOut; }

protected:
    // Connected without asking the source: a read finds out about a close
    // anyway, and under Wine every extra poll is a server round trip.
    virtual bool SourceOpen() { return Connected(); }
    // Waits until `count` bytes are buffered; a close before raises
    // ENetConnClosedGracefully although some bytes may be buffered.
    void WaitForBytes(int count);

    bool FOpened = false;
    bool FClosedGracefully = false;
    bool FReadLnSplit = false;
    bool FReadLnTimedOut = false;
    TNetBytes FRecvBuffer;
    std::unique_ptr<TNetBuffer> FInputBuffer;
    std::unique_ptr<TNetBuffer> FWriteBuffer;
    int FWriteBufferThreshold = -1;
};

using TNetSocketEvent = std::function<void(TObject* ASender)>;

class TNetIOHandlerSocket : public TNetIOHandler {
    RT_CLASS(TNetIOHandlerSocket, TNetIOHandler)
public:
    explicit TNetIOHandlerSocket(TComponent* owner);
    ~TNetIOHandlerSocket() override;

    void Open() override;
    void Close() override;
    virtual void ConnectClient();

    TNetSocketHandle& Binding() { return *FBinding; }
    bool BindingAllocated() const;

    AnsiString BoundIP;
    int BoundPort = 0;
    int BoundPortMin = 0, BoundPortMax = 0;
    int DefaultPort = 0;
    TNetIPVersion IPVersion = TNetIPVersion::Net_IPv4;
    bool UseNagle = true;
    TNetSocketEvent OnBeforeBind, OnAfterBind;

protected:
    std::unique_ptr<TNetSocketHandle> FBinding;
};

class TNetIOHandlerStack : public TNetIOHandlerSocket {
    RT_CLASS(TNetIOHandlerStack, TNetIOHandlerSocket)
public:
    explicit TNetIOHandlerStack(TComponent* owner) : TNetIOHandlerSocket(owner) {}

    void ConnectClient() override;
    bool Connected() override;
    void CheckForDisconnect(bool raiseExceptionIfDisconnected = true, bool ignoreBuffer = false) override;
    int ReadFromSource(bool raiseExceptionIfDisconnected, int timeout, bool raiseOnTimeout) override;
    void WriteDirect(const std::uint8_t* bytes, int count) override;
    bool Readable(int timeoutMs);

    int ReadTimeout = 0; // milliseconds; 0 waits without limit
    // Off unless set: too few bytes in its time ends a read as a time-out.
    TNetSpeedFloor SpeedFloor;

protected:
    bool SourceOpen() override;
    // One receive of at most `room` bytes into `tail`, waiting at most
    // `timeout` and judged by the speed floor; -1 when the time ran out and
    // raiseOnTimeout is false.
    int ReceiveWithin(std::uint8_t* tail, int room, int timeout, bool raiseOnTimeout);
};
