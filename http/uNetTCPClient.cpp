#include "uNetTCPClient.h"

#include "uNetStack.h"

TNetTCPConnection::TNetTCPConnection(TComponent* owner) : TNetComponent(owner) {}

TNetTCPConnection::~TNetTCPConnection()
{
    try {
        Disconnect(false);
    } catch (...) {
        // A socket error while closing must not escape a destructor.
    }
}

void TNetTCPConnection::SetIOHandler(TNetIOHandler* handler)
{
    if (handler == FIOHandler)
        return;
    if (FIOHandler && FIOHandler->WorkTarget() == this)
        FIOHandler->SetWorkTarget(nullptr);
    FOwnedIOHandler.reset();
    FIOHandler = handler;
    if (FIOHandler)
        FIOHandler->SetWorkTarget(this);
}

void TNetTCPConnection::SetIOHandler(std::unique_ptr<TNetIOHandler> handler)
{
    SetIOHandler(handler.get());
    FOwnedIOHandler = std::move(handler);
}

void TNetTCPConnection::CreateDefaultIOHandler()
{
    auto handler = std::make_unique<TNetIOHandlerStack>(nullptr);
    handler->OnStatus = OnStatus;
    SetIOHandler(std::move(handler));
}

bool TNetTCPConnection::Connected() { return FIOHandler && FIOHandler->Connected(); }

void TNetTCPConnection::CheckForGracefulDisconnect(bool raiseExceptionIfDisconnected)
{
    if (FIOHandler)
        FIOHandler->CheckForDisconnect(raiseExceptionIfDisconnected, false);
    else if (raiseExceptionIfDisconnected)
        throw ENetNotConnected(netmsg::NotConnected);
}

void TNetTCPConnection::Disconnect(bool notifyPeer)
{
    if (notifyPeer && Connected())
        DisconnectNotifyPeer();
    if (FIOHandler && FIOHandler->Opened()) {
        DoStatus(TNetStatus::hsDisconnecting);
        FIOHandler->Close();
        DoOnDisconnected();
        DoStatus(TNetStatus::hsDisconnected);
    }
}

void TNetTCPConnection::DoOnDisconnected()
{
    if (OnDisconnected)
        OnDisconnected(this);
}

void TNetTCPClientCustom::ApplySettings()
{
    IOHandler()->Port = Port;
    IOHandler()->Host = Host;
    if (ConnectTimeout > 0)
        IOHandler()->ConnectTimeout = ConnectTimeout;
    if (auto* socket = Socket()) {
        socket->IPVersion = IPVersion;
        socket->OnBeforeBind = OnBeforeBind;
        socket->OnAfterBind = OnAfterBind;
    }
    if (auto* stack = dynamic_cast<TNetIOHandlerStack*>(IOHandler())) {
        if (ReadTimeout > 0)
            stack->ReadTimeout = ReadTimeout;
        stack->SpeedFloor.Bytes = LowSpeedBytes;
        stack->SpeedFloor.TimeMs = LowSpeedTimeMs;
    }
}

void TNetTCPClientCustom::Connect()
{
    if (Connected())
        throw ENetAlreadyConnected(netmsg::AlreadyConnected);
    if (!IOHandler())
        CreateDefaultIOHandler();
    try {
        ApplySettings();
        IOHandler()->Open();
    } catch (...) {
        IOHandler()->Close();
        throw;
    }
    if (OnConnected)
        OnConnected(this);
}
