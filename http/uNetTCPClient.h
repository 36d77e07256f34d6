#pragma once
// A TCP client connection: owns (or borrows) an I/O handler, connects it to
// Host:Port and closes it again.
#include "uNetIOHandler.h"

class TNetTCPConnection : public TNetComponent {
    RT_CLASS(TNetTCPConnection, TNetComponent)
public:
    explicit TNetTCPConnection(TComponent* owner);
    ~TNetTCPConnection() override;

    TNetIOHandler* IOHandler() const { return FIOHandler; }
    // A handler the caller keeps; or one the connection owns from now on,
    // freed when replaced.
    void SetIOHandler(TNetIOHandler* handler);
    void SetIOHandler(std::unique_ptr<TNetIOHandler> handler);
    TNetIOHandlerSocket* Socket() const { return dynamic_cast<TNetIOHandlerSocket*>(FIOHandler); }
    bool OwnsIOHandler() const { return FIOHandler && FOwnedIOHandler.get() == FIOHandler; }

    // True while the socket is open or unread bytes remain buffered.
    virtual bool Connected();
    void Disconnect(bool notifyPeer = true);
    void CheckForGracefulDisconnect(bool raiseExceptionIfDisconnected = true);

    std::function<void(TObject* ASender)> OnDisconnected;

protected:
    virtual void DisconnectNotifyPeer() {}
    virtual void DoOnDisconnected();
    void CreateDefaultIOHandler();

private:
    TNetIOHandler* FIOHandler = nullptr;
    std::unique_ptr<TNetIOHandler> FOwnedIOHandler;
};

class TNetTCPClientCustom : public TNetTCPConnection {
    RT_CLASS(TNetTCPClientCustom, TNetTCPConnection)
public:
    using TNetTCPConnection::TNetTCPConnection;

    virtual void Connect();

    AnsiString Host;
    int Port = 0;
    int ConnectTimeout = 0;
    int ReadTimeout = 0;
    // The speed floor of every read (TNetSpeedFloor); 0: none.
    int LowSpeedBytes = 0;
    int LowSpeedTimeMs = 0;
    TNetIPVersion IPVersion = TNetIPVersion::Net_IPv4;
    std::function<void(TObject* ASender)> OnConnected, OnBeforeBind, OnAfterBind;

protected:
    // Copies the client's settings into the handler.
    void ApplySettings();
};

class TNetTCPClient : public TNetTCPClientCustom {
    RT_CLASS(TNetTCPClient, TNetTCPClientCustom)
public:
    using TNetTCPClientCustom::TNetTCPClientCustom;
};
