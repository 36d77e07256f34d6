#pragma once
// A connection without a socket: the peer's bytes are given up front and
// handed to the client in pieces, what the client sends is recorded. When the
// bytes run out the peer has closed. Each Open (a new connection) goes on
// where the client stopped reading on the previous one, so one script can
// answer several requests (redirects, authentication retries). Declare it
// before the client that uses it, so it outlives the client.
#include "http/uNetIOHandler.h"

#include <algorithm>
#include <string>

class TNetIOHandlerMemory : public TNetIOHandler {
public:
    // pieceSize 0: each read takes up to RecvBufferSize bytes.
    explicit TNetIOHandlerMemory(std::string peerBytes = {}, int pieceSize = 0)
        : TNetIOHandler(nullptr), FPeer(std::move(peerBytes)), FPieceSize(pieceSize)
    {
    }

    void SetPeerBytes(std::string bytes)
    {
        FPeer = std::move(bytes);
        FAt = 0;
    }
    // Everything the client wrote, over all connections.
    const std::string& Written() const { return FWritten; }
    int Connections() const { return FConnections; }
    size_t Unread() const { return FPeer.size() - FAt; }

    void Open() override
    {
        TNetIOHandler::Open();
        FPeerOpen = true;
        ++FConnections;
    }

    void Close() override
    {
        // Bytes read ahead but not taken belong to the next connection.
        if (FPeerOpen && FInputBuffer) {
            FAt -= static_cast<size_t>(FInputBuffer->Size());
            FInputBuffer->Clear();
        }
        TNetIOHandler::Close();
        FPeerOpen = false;
    }

    bool Connected() override
    {
        return FOpened && ((FInputBuffer && FInputBuffer->Size() > 0) || (FPeerOpen && !FClosedGracefully));
    }

    void CheckForDisconnect(bool raiseExceptionIfDisconnected = true, bool ignoreBuffer = false) override
    {
        bool disconnected = FClosedGracefully || !FPeerOpen;
        if (disconnected && FInputBuffer && raiseExceptionIfDisconnected && (FInputBuffer->Size() == 0 || ignoreBuffer))
            throw ENetConnClosedGracefully(netmsg::ClosedGracefully);
    }

    int ReadFromSource(bool raiseExceptionIfDisconnected, int, bool) override
    {
        CheckForDisconnect(raiseExceptionIfDisconnected, false);
        if (!FOpened || !FPeerOpen || FClosedGracefully) {
            if (raiseExceptionIfDisconnected)
                throw ENetException(netmsg::NotConnected);
            return 0;
        }
        size_t limit = static_cast<size_t>(FPieceSize > 0 ? FPieceSize : std::max(RecvBufferSize, 1));
        size_t n = std::min(limit, FPeer.size() - FAt);
        if (n == 0) {
            FClosedGracefully = true;
            CheckForDisconnect(raiseExceptionIfDisconnected, false);
            return 0;
        }
        FInputBuffer->Write(reinterpret_cast<const std::uint8_t*>(FPeer.data() + FAt), static_cast<int>(n));
        FAt += n;
        return static_cast<int>(n);
    }

    void WriteDirect(const std::uint8_t* bytes, int count) override
    {
        if (!FOpened)
            throw ENetNotConnected(netmsg::NotConnected);
        FWritten.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
        DoWork(TWorkMode::WorkWrite, count);
    }

private:
    std::string FPeer, FWritten;
    size_t FAt = 0;
    int FPieceSize;
    bool FPeerOpen = false;
    int FConnections = 0;
};
